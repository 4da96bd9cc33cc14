#include "platform/LFileTransferProtocol.h"

#include <curl/curl.h>
#include <fnmatch.h>

#include <cctype>
#include <cstdlib>
#include <mutex>

namespace {

constexpr long kConnectTimeoutS = 30;
constexpr long kResponseTimeoutS = 60;
// A transfer that moves no byte for this long has stalled.
constexpr long kStallS = 60;
constexpr long kCleanupTimeLimitMs = 5000;
constexpr size_t kMaxListing = 4u << 20;
constexpr size_t kMaxName = 255;
// Facts and a longest name fit many times over; more is a server that never ends its line.
constexpr size_t kMaxMachineLine = 4096;

bool HasControl(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            return true;
    return false;
}

// A name or directory goes into a command line of its own: no line breaks.
bool UsableInCommand(std::string_view text)
{
    return !text.empty() && !HasControl(text);
}

// Percent-encodes all but unreserved characters and '/', so that libcurl
// decodes exactly the text given; a leading '/' stays absolute.
std::string EscapePath(std::string_view text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        bool bPlain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~' || (c == '/' && i > 0);
        if (bPlain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

bool GlobalInit()
{
    static std::once_flag once;
    static bool bOk = false;
    std::call_once(once, [] { bOk = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return bOk;
}

struct SList {
    curl_slist* p = nullptr;
    ~SList() { curl_slist_free_all(p); }
};

} // namespace

struct LFileTransferProtocol::Transfer {
    const Reader* pReader = nullptr;
    const Writer* pWriter = nullptr;
    const Progress* pProgress = nullptr;
    std::string* pListing = nullptr;
    std::vector<std::string> commands; // sent in the directory, after the request
    uint64_t nSize = 0;
    uint64_t nMaxBytes = 0;
    uint64_t nReceived = 0;
    uint32_t uTimeLimitMs = 0; // 0: none beyond the connect, reply and stall checks
    bool bLocalFailed = false;
    bool bTooLarge = false;
    bool bCleanup = false; // not stopped, and bounded in time
    const StopTest* pStopTest = nullptr;

    static size_t Read(char* pBuf, size_t size, size_t count, void* pUser)
    {
        auto* t = static_cast<Transfer*>(pUser);
        ptrdiff_t n = (*t->pReader)(pBuf, size * count);
        if (n < 0) {
            t->bLocalFailed = true;
            return CURL_READFUNC_ABORT;
        }
        return static_cast<size_t>(n);
    }

    static size_t Write(char* pBuf, size_t size, size_t count, void* pUser)
    {
        auto* t = static_cast<Transfer*>(pUser);
        size_t n = size * count;
        if (t->pListing) {
            if (t->pListing->size() + n > kMaxListing) {
                t->bTooLarge = true;
                return 0;
            }
            t->pListing->append(pBuf, n);
        } else if (t->pWriter) {
            t->nReceived += n;
            if (t->nMaxBytes && t->nReceived > t->nMaxBytes) {
                t->bTooLarge = true;
                return 0;
            }
            if (!(*t->pWriter)(pBuf, n)) {
                t->bLocalFailed = true;
                return 0;
            }
        }
        return n;
    }

    static int Info(void* pUser, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal, curl_off_t ulNow)
    {
        auto* t = static_cast<Transfer*>(pUser);
        if (t->bCleanup)
            return 0;
        if (t->pProgress && *t->pProgress) {
            bool bUp = t->pReader != nullptr;
            curl_off_t now = bUp ? ulNow : dlNow;
            curl_off_t total = bUp ? ulTotal : dlTotal;
            return (*t->pProgress)(
                       static_cast<uint64_t>(now < 0 ? 0 : now), static_cast<uint64_t>(total < 0 ? 0 : total))
                ? 1
                : 0;
        }
        return t->pStopTest && *t->pStopTest && (*t->pStopTest)() ? 1 : 0;
    }
};

LFileTransferProtocol::~LFileTransferProtocol()
{
    Disconnect();
}

bool LFileTransferProtocol::Connect()
{
    if (m_pCurl)
        return true;
    if (!GlobalInit())
        return Fail(Error::NotConnected, "libcurl could not be initialised");
    m_pCurl = curl_easy_init();
    return m_pCurl ? true : Fail(Error::NotConnected, "libcurl could not be initialised");
}

void LFileTransferProtocol::Disconnect()
{
    if (m_pCurl)
        curl_easy_cleanup(static_cast<CURL*>(m_pCurl));
    m_pCurl = nullptr;
    m_bLoggedOn = false;
    m_directory.clear();
    m_password.assign(m_password.size(), '\0');
    m_password.clear();
    FindClose();
}

bool LFileTransferProtocol::Fail(Error error, std::string text)
{
    m_error = error;
    m_errorText = std::move(text);
    return false;
}

bool LFileTransferProtocol::SplitServer(std::string_view server, std::string* pHost, unsigned* pPort)
{
    if (server.substr(0, 6) == "ftp://")
        server.remove_prefix(6);
    if (!server.empty() && server.back() == '/')
        server.remove_suffix(1);
    std::string_view host = server;
    std::string_view port;
    if (!server.empty() && server.front() == '[') {
        size_t nClose = server.find(']');
        if (nClose == std::string_view::npos)
            return false;
        host = server.substr(0, nClose + 1);
        std::string_view rest = server.substr(nClose + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return false;
            port = rest.substr(1);
            if (port.empty())
                return false;
        }
    } else if (size_t nColon = server.rfind(':'); nColon != std::string_view::npos) {
        host = server.substr(0, nColon);
        port = server.substr(nColon + 1);
        if (port.empty())
            return false;
    }
    bool bBracketed = !host.empty() && host.front() == '[';
    std::string_view inner = bBracketed ? host.substr(1, host.size() - 2) : host;
    if (inner.empty() || HasControl(inner)
        || inner.find_first_of(bBracketed ? " /@?#\\%[]" : " /@?#\\%[]:") != std::string_view::npos)
        return false;
    unsigned uPort = 21;
    if (!port.empty()) {
        if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
            return false;
        uPort = static_cast<unsigned>(std::atoi(std::string(port).c_str()));
        if (uPort == 0 || uPort > 65535)
            return false;
    }
    *pHost = std::string(host);
    *pPort = uPort;
    return true;
}

std::vector<std::string> LFileTransferProtocol::ParseNameList(std::string_view listing)
{
    std::vector<std::string> names;
    while (!listing.empty()) {
        size_t nEnd = listing.find('\n');
        std::string_view line = listing.substr(0, nEnd);
        listing.remove_prefix(nEnd == std::string_view::npos ? listing.size() : nEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.size() > kMaxName || line == "." || HasControl(line)
            || line.find_first_of("/\\") != std::string_view::npos || line.find("..") != std::string_view::npos)
            continue;
        names.emplace_back(line);
    }
    return names;
}

namespace {

// A name shown in a message: control characters as '?', cut short.
std::string Shown(std::string_view name)
{
    std::string out(name.substr(0, 64));
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = '?';
    return out + (name.size() > 64 ? "..." : "");
}

// Why a listed name may not be used; empty when it may.
std::string NameFault(std::string_view name)
{
    if (name.empty())
        return "an empty name";
    if (name.size() > kMaxName)
        return "a name longer than 255 bytes";
    if (name == "." || name.find("..") != std::string_view::npos || name.find_first_of("/\\") != std::string_view::npos)
        return "the name \"" + Shown(name) + "\" could leave the directory";
    if (HasControl(name))
        return "the name \"" + Shown(name) + "\" holds control characters";
    return {};
}

bool EqualsNoCaseAscii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::vector<LFileTransferProtocol::Entry> LFileTransferProtocol::ParseMachineList(
    std::string_view listing, std::vector<std::string>* pRejected)
{
    std::vector<Entry> entries;
    size_t nLine = 0;
    auto reject = [&](const std::string& why) {
        if (pRejected)
            pRejected->push_back("listing line " + std::to_string(nLine) + ": " + why);
    };
    while (!listing.empty()) {
        ++nLine;
        size_t nEnd = listing.find('\n');
        std::string_view line = listing.substr(0, nEnd);
        listing.remove_prefix(nEnd == std::string_view::npos ? listing.size() : nEnd + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty())
            continue;
        if (line.size() > kMaxMachineLine) {
            reject("a line longer than " + std::to_string(kMaxMachineLine) + " bytes");
            continue;
        }
        // Facts hold no space; the name is everything after the first one.
        size_t nSpace = line.find(' ');
        if (nSpace == std::string_view::npos || nSpace == 0) {
            reject("not an entry (no facts)");
            continue;
        }
        std::string_view facts = line.substr(0, nSpace);
        std::string_view name = line.substr(nSpace + 1);
        Entry entry;
        bool bTyped = false;
        bool bBad = false;
        while (!facts.empty()) {
            size_t nSemi = facts.find(';');
            std::string_view fact = facts.substr(0, nSemi);
            facts.remove_prefix(nSemi == std::string_view::npos ? facts.size() : nSemi + 1);
            size_t nEq = fact.find('=');
            if (nEq == std::string_view::npos)
                continue;
            std::string_view key = fact.substr(0, nEq);
            std::string_view value = fact.substr(nEq + 1);
            if (EqualsNoCaseAscii(key, "type")) {
                bTyped = true;
                entry.bFile = EqualsNoCaseAscii(value, "file");
                if (EqualsNoCaseAscii(value, "cdir") || EqualsNoCaseAscii(value, "pdir"))
                    bBad = true; // the directory itself or its parent: no entry
            } else if (EqualsNoCaseAscii(key, "size")) {
                if (value.empty() || value.size() > 18
                    || value.find_first_not_of("0123456789") != std::string_view::npos) {
                    reject("the size of \"" + Shown(name) + "\" is not a number");
                    bBad = true;
                    break;
                }
                entry.nSize = std::strtoull(std::string(value).c_str(), nullptr, 10);
            }
        }
        if (bBad)
            continue;
        if (!bTyped) {
            reject("the entry \"" + Shown(name) + "\" has no type");
            continue;
        }
        if (std::string why = NameFault(name); !why.empty()) {
            reject(why);
            continue;
        }
        entry.name = std::string(name);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::string LFileTransferProtocol::Url(const std::string& fileName) const
{
    std::string url = "ftp://" + m_host + ":" + std::to_string(m_uPort) + "/";
    if (!m_directory.empty()) {
        url += EscapePath(m_directory);
        if (url.back() != '/')
            url += '/';
    }
    return url + EscapePath(fileName);
}

bool LFileTransferProtocol::Perform(Request request, const std::string& fileName, Transfer* pTransfer)
{
    CURL* c = static_cast<CURL*>(m_pCurl);
    if (!c)
        return Fail(Error::NotConnected, "not connected");
    Transfer none;
    Transfer& t = pTransfer ? *pTransfer : none;
    t.pStopTest = &m_stopTest;

    // A reset keeps the live connection, so the control connection and its
    // TLS session carry over from one step of a delivery to the next.
    curl_easy_reset(c);
    char szError[CURL_ERROR_SIZE] = "";
    std::string url = Url(fileName);
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, szError);
    if (!m_bAnonymous) {
        curl_easy_setopt(c, CURLOPT_USERNAME, m_userName.c_str());
        curl_easy_setopt(c, CURLOPT_PASSWORD, m_password.c_str());
    }
    // Required TLS fails before USER when the server refuses AUTH, so no
    // password ever crosses a plain connection by accident.
    bool bSecret = !m_bAnonymous && !m_password.empty();
    curl_easy_setopt(c, CURLOPT_USE_SSL, m_bAllowPlain || !bSecret ? CURLUSESSL_TRY : CURLUSESSL_ALL);
    curl_easy_setopt(c, CURLOPT_FTPSSLAUTH, static_cast<long>(CURLFTPAUTH_TLS));
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    // TLS 1.2 only: under TLS 1.3 the server sends session tickets on each
    // data connection after the handshake, libcurl closes the connection with
    // them unread, the kernel answers with a reset, and the server loses
    // whatever of the upload it had not yet read while still answering 226.
    curl_easy_setopt(c, CURLOPT_SSLVERSION,
        static_cast<long>(CURL_SSLVERSION_TLSv1_2) | static_cast<long>(CURL_SSLVERSION_MAX_TLSv1_2));
    // The trust store as OpenSSL's own defaults name it.
    if (const char* szFile = std::getenv("SSL_CERT_FILE"); szFile && *szFile)
        curl_easy_setopt(c, CURLOPT_CAINFO, szFile);
    if (const char* szDir = std::getenv("SSL_CERT_DIR"); szDir && *szDir)
        curl_easy_setopt(c, CURLOPT_CAPATH, szDir);
    curl_easy_setopt(c, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_SINGLECWD));
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    curl_easy_setopt(c, CURLOPT_SERVER_RESPONSE_TIMEOUT, kResponseTimeoutS);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, kStallS);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &Transfer::Info);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Transfer::Write);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
    if (t.bCleanup)
        t.uTimeLimitMs = kCleanupTimeLimitMs;
    if (t.uTimeLimitMs)
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(t.uTimeLimitMs));

    SList commands;
    for (const std::string& command : t.commands)
        commands.p = curl_slist_append(commands.p, command.c_str());
    switch (request) {
    case Request::LogOn:
    case Request::Directory:
    case Request::Command:
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        if (commands.p)
            curl_easy_setopt(c, CURLOPT_POSTQUOTE, commands.p);
        break;
    case Request::List:
        curl_easy_setopt(c, CURLOPT_DIRLISTONLY, 1L);
        break;
    case Request::MachineList:
        curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, "MLSD");
        break;
    case Request::Upload:
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, &Transfer::Read);
        curl_easy_setopt(c, CURLOPT_READDATA, &t);
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(t.nSize));
        break;
    case Request::Download:
        break;
    case Request::Size:
        // TYPE I then SIZE: the byte count of the stored file, no transfer.
        curl_easy_setopt(c, CURLOPT_NOBODY, 1L);
        break;
    }

    CURLcode rc = curl_easy_perform(c);
    if (rc == CURLE_OK) {
        m_error = Error::None;
        m_errorText.clear();
        return true;
    }
    std::string text = szError[0] ? szError : curl_easy_strerror(rc);
    Error error = Error::Failed;
    switch (rc) {
    case CURLE_ABORTED_BY_CALLBACK:
    case CURLE_READ_ERROR:
    case CURLE_WRITE_ERROR:
        error = t.bLocalFailed ? Error::LocalIo : t.bTooLarge ? Error::Failed : Error::Stopped;
        if (t.bTooLarge)
            text = "the server sent more than expected";
        break;
    case CURLE_LOGIN_DENIED:
        error = Error::LogOnDenied;
        break;
    case CURLE_USE_SSL_FAILED:
        error = Error::NoTls;
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS:
        error = Error::TlsFailed;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_GOT_NOTHING:
        error = Error::CannotConnect;
        break;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_FTP_COULDNT_RETR_FILE:
        error = Error::NotFound;
        break;
    case CURLE_QUOTE_ERROR:
    case CURLE_UPLOAD_FAILED:
        error = Error::Refused;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        error = Error::TimedOut;
        break;
    default:
        break;
    }
    if (request == Request::LogOn || error == Error::LogOnDenied || error == Error::NoTls || error == Error::TlsFailed
        || error == Error::CannotConnect)
        m_bLoggedOn = false;
    return Fail(error, std::move(text));
}

bool LFileTransferProtocol::LogOn(const std::string& server, const std::string* pUser, const std::string* pPassword)
{
    std::string host;
    unsigned uPort = 21;
    if (!SplitServer(server, &host, &uPort))
        return Fail(Error::BadServerName, "not a server name");
    if ((pUser && HasControl(*pUser)) || (pPassword && HasControl(*pPassword)))
        return Fail(Error::LogOnDenied, "the user name or password holds a control character");
    // A new session never rides on the last one's connection.
    if (m_bLoggedOn)
        Disconnect();
    if (!Connect())
        return false;
    m_host = host;
    m_uPort = uPort;
    m_bAnonymous = pUser == nullptr;
    m_userName = pUser ? *pUser : std::string();
    m_password = pPassword ? *pPassword : std::string();
    m_directory.clear();
    m_bLoggedOn = Perform(Request::LogOn, {}, nullptr);
    return m_bLoggedOn;
}

bool LFileTransferProtocol::LogOnServer(
    const std::string& server, const std::string& userName, const std::string& password)
{
    // "USER " with nothing after it is refused by every server.
    if (userName.empty())
        return LogOn(server, nullptr, nullptr);
    return LogOn(server, &userName, &password);
}

bool LFileTransferProtocol::LogOnServer(const std::string& server)
{
    return LogOn(server, nullptr, nullptr);
}

bool LFileTransferProtocol::LogOnServerPath(const std::string& path)
{
    std::string_view rest(path);
    if (size_t nScheme = rest.find("://"); nScheme != std::string_view::npos)
        rest.remove_prefix(nScheme + 3);
    std::string_view user;
    std::string_view password;
    bool bUser = false;
    if (size_t nAt = rest.rfind('@'); nAt != std::string_view::npos) {
        std::string_view account = rest.substr(0, nAt);
        rest.remove_prefix(nAt + 1);
        size_t nColon = account.find(':');
        user = account.substr(0, nColon);
        if (nColon != std::string_view::npos)
            password = account.substr(nColon + 1);
        bUser = !user.empty();
    }
    size_t nSlash = rest.find('/');
    std::string host(rest.substr(0, nSlash));
    std::string directory(nSlash == std::string_view::npos ? std::string_view() : rest.substr(nSlash + 1));
    bool bOk = bUser ? LogOnServer(host, std::string(user), std::string(password)) : LogOnServer(host);
    return bOk && SetCurrentDirectory(directory);
}

bool LFileTransferProtocol::SetCurrentDirectory(const std::string& directory)
{
    if (directory.empty()) {
        m_directory.clear();
        return true;
    }
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    if (!UsableInCommand(directory))
        return Fail(Error::NotFound, "the directory name holds a control character");
    std::string previous = m_directory;
    m_directory = directory;
    if (!Perform(Request::Directory, {}, nullptr)) {
        m_directory = previous;
        return false;
    }
    return true;
}

bool LFileTransferProtocol::RenameFile(const std::string& oldName, const std::string& newName)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    if (!UsableInCommand(oldName) || !UsableInCommand(newName))
        return Fail(Error::Refused, "the file name holds a control character");
    Transfer t;
    t.commands = { "RNFR " + oldName, "RNTO " + newName };
    if (Perform(Request::Command, {}, &t))
        return true;
    if (m_error != Error::Refused)
        return false;
    Error error = m_error;
    std::string text = m_errorText;
    if (FilePresence(oldName) == Presence::Absent)
        return Fail(Error::NotFound, "\"" + Shown(oldName) + "\" is gone: another client renamed or deleted it first");
    return Fail(error, text);
}

bool LFileTransferProtocol::MakeDirectory(const std::string& name)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    if (!UsableInCommand(name))
        return Fail(Error::Refused, "the folder name holds a control character");
    // '*': a folder that already exists is no failure; the check below decides.
    Transfer t;
    t.commands = { "*MKD " + name };
    if (!Perform(Request::Command, {}, &t))
        return false;
    std::string previous = m_directory;
    m_directory = m_directory.empty() ? name : m_directory + "/" + name;
    bool bExists = Perform(Request::Directory, {}, nullptr);
    m_directory = previous;
    return bExists ? true : Fail(Error::Refused, "the folder \"" + Shown(name) + "\" could not be made");
}

bool LFileTransferProtocol::DeleteFile(const std::string& name)
{
    if (!m_pCurl || m_host.empty())
        return Fail(Error::NotConnected, "not logged on");
    if (!UsableInCommand(name))
        return Fail(Error::Refused, "the file name holds a control character");
    Transfer t;
    t.commands = { "DELE " + name };
    t.bCleanup = true;
    return Perform(Request::Command, {}, &t);
}

bool LFileTransferProtocol::FindFirstFile(const std::string& pattern, std::string* pName)
{
    FindClose();
    if (!ListNames(pattern, &m_found))
        return false;
    return FindNextFile(pName);
}

bool LFileTransferProtocol::FetchListing(Request request, uint32_t uTimeLimitMs, std::string* pListing)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    Transfer t;
    t.pListing = pListing;
    t.uTimeLimitMs = uTimeLimitMs;
    if (!Perform(request, {}, &t))
        return false;
    if (LastReplyCode() == 450)
        return Fail(Error::Refused, "the server gave no listing (450)");
    return true;
}

bool LFileTransferProtocol::ListNames(
    const std::string& pattern, std::vector<std::string>* pNames, uint32_t uTimeLimitMs)
{
    pNames->clear();
    std::string listing;
    if (!FetchListing(Request::List, uTimeLimitMs, &listing))
        return false;
    for (std::string& name : ParseNameList(listing))
        if (::fnmatch(pattern.c_str(), name.c_str(), FNM_NOESCAPE) == 0)
            pNames->push_back(std::move(name));
    return true;
}

bool LFileTransferProtocol::ListEntries(
    std::vector<Entry>* pEntries, std::vector<std::string>* pRejected, uint32_t uTimeLimitMs)
{
    pEntries->clear();
    std::string listing;
    if (!FetchListing(Request::MachineList, uTimeLimitMs, &listing))
        return false;
    *pEntries = ParseMachineList(listing, pRejected);
    return true;
}

LFileTransferProtocol::Presence LFileTransferProtocol::FilePresence(const std::string& name)
{
    if (!m_bLoggedOn) {
        Fail(Error::NotConnected, "not logged on");
        return Presence::Unknown;
    }
    if (!UsableInCommand(name) || name.find('/') != std::string::npos) {
        Fail(Error::Refused, "not a file name");
        return Presence::Unknown;
    }
    if (RemoteSize(name) >= 0)
        return Presence::Present;
    return m_error == Error::NotFound && LastReplyCode() == 550 ? Presence::Absent : Presence::Unknown;
}

long LFileTransferProtocol::LastReplyCode() const
{
    long nCode = 0;
    if (!m_pCurl || curl_easy_getinfo(static_cast<CURL*>(m_pCurl), CURLINFO_RESPONSE_CODE, &nCode) != CURLE_OK)
        return 0;
    return nCode;
}

bool LFileTransferProtocol::FindNextFile(std::string* pName)
{
    if (m_nFound >= m_found.size())
        return Fail(Error::NotFound, "no more files");
    *pName = m_found[m_nFound++];
    return true;
}

void LFileTransferProtocol::FindClose()
{
    m_found.clear();
    m_nFound = 0;
}

bool LFileTransferProtocol::Upload(
    const std::string& remoteName, uint64_t nSize, const Reader& reader, const Progress& progress)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    if (!UsableInCommand(remoteName) || remoteName.find('/') != std::string::npos)
        return Fail(Error::Refused, "not a file name");
    Transfer t;
    t.pReader = &reader;
    t.pProgress = &progress;
    t.nSize = nSize;
    if (!Perform(Request::Upload, remoteName, &t))
        return false;
    int64_t nStored = RemoteSize(remoteName);
    if (nStored >= 0 && static_cast<uint64_t>(nStored) != nSize)
        return Fail(Error::Short,
            "the server kept " + std::to_string(nStored) + " of the " + std::to_string(nSize) + " bytes sent");
    m_error = Error::None;
    m_errorText.clear();
    return true;
}

bool LFileTransferProtocol::UploadAs(const std::string& tempName, const std::string& finalName, uint64_t nSize,
    const Reader& reader, const Progress& progress)
{
    if (!UsableInCommand(finalName) || finalName.find('/') != std::string::npos)
        return Fail(Error::Refused, "not a file name");
    if (Upload(tempName, nSize, reader, progress) && RenameFile(tempName, finalName))
        return true;
    Error error = m_error;
    std::string text = m_errorText;
    if (error != Error::NotConnected)
        DeleteFile(tempName);
    return Fail(error, text);
}

int64_t LFileTransferProtocol::RemoteSize(const std::string& fileName)
{
    if (!Perform(Request::Size, fileName, nullptr))
        return -1;
    curl_off_t nLength = -1;
    if (curl_easy_getinfo(static_cast<CURL*>(m_pCurl), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &nLength) != CURLE_OK)
        return -1;
    return nLength;
}

bool LFileTransferProtocol::Download(const std::string& remoteName, const Writer& writer, const Progress& progress,
    uint64_t nMaxBytes, uint32_t uTimeLimitMs)
{
    if (!m_bLoggedOn)
        return Fail(Error::NotConnected, "not logged on");
    if (!UsableInCommand(remoteName) || remoteName.find('/') != std::string::npos)
        return Fail(Error::Refused, "not a file name");
    Transfer t;
    t.pWriter = &writer;
    t.pProgress = &progress;
    t.nMaxBytes = nMaxBytes;
    t.uTimeLimitMs = uTimeLimitMs;
    return Perform(Request::Download, remoteName, &t);
}
