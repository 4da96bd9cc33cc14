#include "send/LTypistPool.h"

#include "foundation/LText.h"
#include "platform/LImapClient.h"

#include <cctype>

namespace LTypistPool {

namespace {

constexpr size_t kMaxNotesBytes = 1000;
// Names come from the dictation's header, whose fields are shorter; a
// longer one is cut rather than refused.
constexpr size_t kMaxNameBytes = 260;
constexpr size_t kMaxTypistBytes = 64;

// A decimal number that fits; blanks around it allowed, nothing else.
bool ReadNumber(std::string_view text, uint32_t nMax, uint32_t* pValue)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + uint64_t(c - '0');
    }
    if (n > nMax)
        return false;
    *pValue = uint32_t(n);
    return true;
}

// Decoded text without control characters, cut at a character boundary.
std::string ReadText(const std::string& value, size_t nMaxBytes)
{
    std::string text = LMailMessage::DecodeWords(value);
    std::string out;
    for (unsigned char c : text)
        out += c < 0x20 || c == 0x7f ? ' ' : char(c);
    return std::string(CutUtf8(out, nMaxBytes));
}

// A typist's name reaches file names ("s0000042-anne.sta") and folder
// names: only the characters the typists' program itself keeps.
bool IsCleanTypist(std::string_view name)
{
    if (name.empty() || name.size() > kMaxTypistBytes)
        return false;
    for (char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_')
            return false;
    return true;
}

std::string Number(uint32_t n)
{
    return std::to_string(n);
}

LMailMessage::Composed Common(const std::string& kind, uint32_t uUserID, const std::string& from)
{
    LMailMessage::Composed message;
    message.from = from;
    message.headers.emplace_back(kKindField, kind);
    message.headers.emplace_back(kAuthorField, Number(uUserID));
    return message;
}

} // namespace

std::vector<std::string> ListedFields()
{
    return { kKindField, kAuthorField, kFileNumberField, kPriorityField, kNameField, kAuthorNameField, kNotesField,
        kLengthField, kTypistField, kCreatedField, LImapClient::kTicketField };
}

std::string Folder(std::string_view pool, std::string_view area, std::string_view typist)
{
    std::string folder(pool);
    if (!area.empty())
        folder += "/" + std::string(area);
    if (!typist.empty())
        folder += "/" + std::string(typist);
    return folder;
}

bool ReadEntry(const std::vector<std::pair<std::string, std::string>>& fields, Entry* pEntry)
{
    auto find = [&fields](const char* szName) -> const std::string* {
        for (const auto& [name, value] : fields)
            if (EqualsNoCase(name, szName))
                return &value;
        return nullptr;
    };
    // A field that is there must read; one that is missing keeps its default.
    auto number = [&find](const char* szName, uint32_t nMax, uint32_t* pValue) {
        const std::string* pValue0 = find(szName);
        return !pValue0 || ReadNumber(LMailMessage::DecodeWords(*pValue0), nMax, pValue);
    };
    Entry entry;
    const std::string* pKind = find(kKindField);
    if (!pKind)
        return false;
    entry.kind = ReadText(*pKind, 16);
    const bool bDictation = entry.kind == "dictation", bCancel = entry.kind == "cancel",
               bStatus = entry.kind == "status";
    if (!bDictation && !bCancel && !bStatus)
        return false;
    if (!find(kAuthorField) || ((bDictation || bCancel) && !find(kFileNumberField)))
        return false;
    uint32_t uPriority = entry.uPriority;
    if (!number(kAuthorField, UINT32_MAX, &entry.uUserID) || !number(kFileNumberField, UINT32_MAX, &entry.uFileNumber)
        || !number(kPriorityField, 255, &uPriority) || !number(kLengthField, UINT32_MAX, &entry.nLengthMs)
        || !number(kCreatedField, UINT32_MAX, &entry.tCreated))
        return false;
    entry.uPriority = uint8_t(uPriority);
    if (const std::string* p = find(kNameField))
        entry.name = ReadText(*p, kMaxNameBytes);
    if (const std::string* p = find(kAuthorNameField))
        entry.userName = ReadText(*p, kMaxNameBytes);
    if (const std::string* p = find(kNotesField))
        entry.notes = ReadText(*p, kMaxNotesBytes);
    if (const std::string* p = find(kTypistField)) {
        entry.typist = ReadText(*p, kMaxTypistBytes + 1);
        if (!IsCleanTypist(entry.typist))
            return false;
    } else if (bStatus) {
        return false;
    }
    *pEntry = std::move(entry);
    return true;
}

std::vector<std::pair<std::string, std::string>> DictationFields(const Entry& entry, bool bSealed)
{
    std::vector<std::pair<std::string, std::string>> fields
        = { { kKindField, "dictation" }, { kAuthorField, Number(entry.uUserID) },
              { kFileNumberField, Number(entry.uFileNumber) }, { kPriorityField, Number(entry.uPriority) } };
    // A sealed dictation tells the mail server no more than its numbers.
    if (!bSealed) {
        fields.emplace_back(kNameField, entry.name);
        fields.emplace_back(kAuthorNameField, entry.userName);
        fields.emplace_back(kNotesField, std::string(CutUtf8(entry.notes, kMaxNotesBytes)));
    }
    fields.emplace_back(kLengthField, Number(entry.nLengthMs));
    fields.emplace_back(kCreatedField, Number(entry.tCreated));
    return fields;
}

std::string ComposeDictation(const Entry& entry, bool bSealed, const std::string& from, const std::string& subject,
    const std::string& body, const LMailAttachment& transferFile)
{
    LMailMessage::Composed message;
    message.from = from;
    message.subject = subject;
    message.body = body;
    message.headers = DictationFields(entry, bSealed);
    message.attachments.push_back(transferFile);
    return LMailMessage::Compose(message);
}

std::string ComposeCancel(const Entry& entry, const std::string& from, const LMailAttachment& notice)
{
    LMailMessage::Composed message = Common("cancel", entry.uUserID, from);
    message.subject = "Dictation " + Number(entry.uFileNumber) + " of author " + Number(entry.uUserID) + " cancelled";
    message.body = "The author took this dictation back. Tavrine Scribe reads the attached cancel notice.";
    message.headers.emplace_back(kFileNumberField, Number(entry.uFileNumber));
    message.attachments.push_back(notice);
    return LMailMessage::Compose(message);
}

std::string ComposeStatus(uint32_t uUserID, const std::string& typist, const LMailAttachment& statusFile)
{
    LMailMessage::Composed message = Common("status", uUserID, {});
    message.subject = "Status of typist " + typist + " for author " + Number(uUserID);
    message.body = "The attached status file tells Tavrine Dictate how this typist's work for the author stands.";
    message.headers.emplace_back(kTypistField, typist);
    message.attachments.push_back(statusFile);
    return LMailMessage::Compose(message);
}

} // namespace LTypistPool
