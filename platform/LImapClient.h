// An IMAP client for the typist pool and the typists' mailboxes: one
// connection on LIPSocket (the mail client's socket), TLS from the first
// byte on port 993 or by STARTTLS on any other, verified against the
// system's trust store and the host name. A password never crosses a plain
// connection unless plain text was allowed for that server. Every wait is a
// slice the stop test can end, every command has a time limit, and every
// reply is bounded (line length, literal size, count of items), so a hostile
// server costs bounded time and memory and gives a clear error.
// Owned and used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class LIPSocket;
struct LImapResponse;

class LImapClient {
public:
    enum class Error {
        None,
        NotConnected, // no log-on, or no folder selected for a command that needs one
        BadServerName, // not "host", "host:port" or "[v6]:port"
        CannotConnect, // no answer at the host and port
        LogOnDenied, // user name or password refused
        NoTls, // the server offers no STARTTLS and plain text was not allowed
        TlsFailed, // the certificate or host name did not verify, or the handshake failed
        NoMove, // the server lacks MOVE, so a claim could not be atomic
        NoFolder, // the folder does not exist
        Refused, // NO or BAD to another command
        Stopped, // the stop test asked for it
        TimedOut, // a command's reply did not end within its time limit
        TooLarge, // a reply, literal or message past its bound
        BadReply, // the server's words could not be read
        Failed, // the connection broke, or anything else
    };

    // True when the operation should stop; asked between slices.
    using StopTest = std::function<bool()>;

    struct Options {
        uint32_t connectMs = 10000;
        // Each command's whole reply.
        uint32_t commandMs = 30000;
        // A whole message fetched or appended.
        uint64_t maxMessageBytes = 512ull << 20;
        // One reply line and one literal that is not a whole message.
        size_t maxLineBytes = 1 << 20;
        // Messages in one summary fetch or search answer.
        size_t maxItems = 1000000;
        // A claim's ticket this much older (by the server's clock) than a
        // later one, on a message still in its folder, was cut off before its
        // move and may be lifted; a claimer that took half this gives up.
        uint64_t staleClaimMs = 60000;
    };

    // A header field as the server gave it, unfolded; encoded words are left
    // as they stand (the mail message parser decodes them).
    struct HeaderField {
        std::string name;
        std::string value;
    };

    // What a list needs of one message, without its body.
    struct MessageSummary {
        uint32_t uid = 0;
        uint64_t nSize = 0; // RFC822.SIZE
        int64_t tInternal = 0; // INTERNALDATE, seconds since the epoch
        std::vector<HeaderField> fields; // the asked-for fields the message has, in its order
        // The first field of that name (any case); empty when none.
        std::string Field(std::string_view name) const;
    };

    enum class MoveResult {
        Moved,
        Gone, // no longer in the selected folder: another client moved or deleted it first
        Failed, // see GetLastError (NoMove when the server lacks MOVE; nothing was sent then)
    };

    LImapClient();
    ~LImapClient();
    LImapClient(const LImapClient&) = delete;
    LImapClient& operator=(const LImapClient&) = delete;

    void SetOptions(const Options& options) { m_options = options; }
    // Lets the log-on cross a connection without TLS, for this server only.
    void SetAllowPlain(bool bAllow) { m_bAllowPlain = bAllow; }
    // TLS from the first byte on any port, as on 993 (a server that offers
    // implicit TLS elsewhere).
    void SetImplicitTls(bool bImplicit) { m_bImplicitTls = bImplicit; }
    void SetStopTest(StopTest stopTest);

    // Connects and logs on, closing any earlier session. server: "host",
    // "host:port" or "[v6]:port"; 993 when none.
    bool LogOn(const std::string& server, const std::string& userName, const std::string& password);
    // LOGOUT, best effort and bounded; then closes.
    void LogOut();
    bool IsLoggedOn() const { return m_bLoggedOn; }
    // A capability the server gave after log-on (any case), e.g. "MOVE", "IDLE", "UIDPLUS".
    bool HasCapability(std::string_view name) const;

    // Folder paths name levels with '/' whatever the server's own separator;
    // names are UTF-8 and go to the server in modified UTF-7. A level that
    // holds the server's separator, a control character, or is empty, "." or
    // ".." is refused (BadReply is never used for that: Refused).
    //
    // The folder exists afterwards, made with its parents where needed.
    bool CreateFolder(const std::string& folder);
    // The folders below a folder (all levels), by their '/' paths; names the
    // server gives that do not decode, or hold '/', are left out.
    bool ListFolders(const std::string& folder, std::vector<std::string>* pFolders);
    // SELECT (or EXAMINE with bReadOnly) for the commands below.
    bool Select(const std::string& folder, bool bReadOnly = false);
    // The selected folder's UIDVALIDITY; 0 when none is selected.
    uint32_t GetUidValidity() const { return m_uUidValidity; }

    // APPEND of a whole message (CRLF line ends) to a folder (selected or
    // not). *pUid gets the new message's UID where the server says it
    // (UIDPLUS), else 0. Fails without a message in the folder when the
    // connection breaks before the server's OK.
    bool Append(const std::string& folder, std::string_view message, uint32_t* pUid = nullptr);

    // Of the selected folder:
    //
    // UID, size, arrival and the named header fields of every message (uids
    // empty) or of the given ones, without fetching any body.
    bool FetchSummaries(const std::vector<std::string>& fieldNames, std::vector<MessageSummary>* pSummaries,
        const std::vector<uint32_t>& uids = {});
    // UID SEARCH for messages carrying every one of the header fields with a
    // value containing the given text (the server's HEADER criterion).
    bool SearchHeaders(const std::vector<HeaderField>& criteria, std::vector<uint32_t>* pUids);
    // The whole message, at most maxMessageBytes, without setting \Seen;
    // Refused when the UID is gone.
    bool FetchMessage(uint32_t uid, std::string* pMessage);
    // UID MOVE into folder. *pNewUid gets its UID there where the server says it.
    MoveResult Move(uint32_t uid, const std::string& folder, uint32_t* pNewUid = nullptr);
    // A Move that, of several sessions claiming the same message at once,
    // exactly one makes: the others get Gone. It leaves short-lived ticket
    // messages (carrying kTicketField) in the selected folder, which a list
    // of that folder passes over.
    MoveResult Claim(uint32_t uid, const std::string& folder, uint32_t* pNewUid = nullptr);
    static constexpr const char* kTicketField = "X-Tavrine-Ticket";
    // Tickets carry this keyword too, so a search reads the headers of tickets alone.
    static constexpr const char* kTicketKeyword = "$TavrineTicket";
    // Append with flags or keywords ("\\Seen $Word"), as a claim appends its ticket.
    bool AppendFlagged(
        const std::string& folder, std::string_view message, const std::string& flags, uint32_t* pUid = nullptr);
    // \Deleted then UID EXPUNGE of just these (UIDPLUS; without it EXPUNGE).
    bool Delete(const std::vector<uint32_t>& uids);
    // Waits up to uMaxMs for the selected folder to change (IDLE where the
    // server has it, else a NOOP every second): *pChanged tells whether a
    // message arrived or left. False when the connection failed or the stop test
    // asked (Stopped).
    bool WaitForChange(uint32_t uMaxMs, bool* pChanged);

    Error GetLastError() const { return m_error; }
    // Words for a message: the server's own text after NO/BAD, or the socket's.
    const std::string& GetLastErrorText() const { return m_errorText; }

    // Modified UTF-7 of RFC 3501 for folder names; decoding refuses what is
    // not well formed (bad base64, an unterminated shift, a needless shift,
    // a lone surrogate). Stateless.
    static std::string EncodeFolderName(std::string_view utf8);
    static bool DecodeFolderName(std::string_view encoded, std::string* pUtf8);
    // "host[:port]" into its parts; false when it is not usable.
    static bool SplitServer(std::string_view server, std::string* pHost, unsigned* pPort);

private:
    // One piece of a command: words as they stand, or a string sent as a literal.
    struct Piece {
        std::string text;
        bool bLiteral = false;
    };
    using Untagged = std::function<bool(const LImapResponse&)>;

    bool Fail(Error error, std::string text = {});
    bool Connect(const std::string& server);
    // Sends a command and reads its responses until the tagged one, handing
    // each untagged one to onUntagged (false from it ends the command with
    // the error it set). True when the tagged response came; *pFinal holds it.
    bool Run(
        const std::vector<Piece>& pieces, const Untagged& onUntagged, LImapResponse* pFinal, uint64_t maxLiteral = 0);
    // As Run, but only an OK is success (NO and BAD give Refused).
    bool RunOk(const std::vector<Piece>& pieces, const Untagged& onUntagged = {}, uint64_t maxLiteral = 0);
    bool Send(std::string_view bytes, uint64_t deadlineMs);
    // One whole response by the deadline; bWaitOnly: a deadline passing is no
    // error (*pbGot false) for the waits of IDLE and the greeting.
    bool Read(LImapResponse* pResponse, uint64_t deadlineMs, uint64_t maxLiteral, bool* pbGot = nullptr);
    bool ReadCapabilities(const std::string& code);
    Piece String(const std::string& text) const;
    // A '/' folder path as the server names it; false (Refused) for a bad level.
    bool ServerName(const std::string& folder, std::string* pName);
    bool NeedSelected();
    // Whether LIST names the folder (a server name, as ServerName gives).
    bool Exists(const std::string& name, bool* pThere);
    bool Expect(const LImapResponse& response, Error error);
    void Drop();
    bool Changed(const LImapResponse& response);
    // The tickets of one claim key, oldest first: UID, arrival, claimer token, destination.
    struct Ticket {
        uint32_t uid = 0;
        int64_t tInternal = 0;
        std::string token;
        std::string into;
    };
    bool Tickets(const std::string& key, std::vector<Ticket>* pTickets);
    // A move may start: a folder selected, MOVE offered, the destination's server name.
    bool CanMove(const std::string& folder, uint32_t* pNewUid, std::string* pName);
    // UID SEARCH of criteria pieces (each beginning with a blank).
    bool Search(std::vector<Piece> criteria, std::vector<uint32_t>* pUids);

    std::string m_buffer;
    size_t m_nBufferAt = 0;
    unsigned m_nTag = 0;
    bool m_bSelected = false;
    uint64_t m_nExists = 0;
    // A message arrived or left, as told by an untagged response of Run.
    bool m_bChanged = false;
    std::string m_selectedFolder;

    std::unique_ptr<LIPSocket> m_pSocket;
    Options m_options;
    StopTest m_stopTest;
    bool m_bAllowPlain = false;
    bool m_bImplicitTls = false;
    bool m_bLoggedOn = false;
    uint32_t m_uUidValidity = 0;
    char m_cSeparator = '/';
    std::vector<std::string> m_capabilities;
    Error m_error = Error::None;
    std::string m_errorText;
};
