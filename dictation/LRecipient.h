// One recipient of dictations as a value: how its dictations leave and
// where to. Stored and read only through LDictationEngineSettings, which
// knows where it lives. Any thread.
#pragma once

#include <string>

// Stored as these numbers; anything else reads as None.
enum class SendMethod { None = 0, Email = 1, Folder = 2, Ftp = 3, Command = 4, Pool = 5 };
// Stored as 0 and 1; anything else reads as Dct, the format a typist's
// player reads.
enum class TransferFormat { Dct = 0, Wav = 1 };

struct LRecipient {
    static constexpr const char* kDefaultFileNameFormat = "%userid%-%filenumber% %filename% by %username%";
    // How long a send command may run before it is stopped; a stored time-out
    // of none or beyond a day (where a hung command is no longer told from a
    // slow one) reads as the usual two minutes.
    static constexpr int kDefaultCommandTimeoutSeconds = 120;
    static constexpr int kMaxCommandTimeoutSeconds = 86400;

    std::string name;
    SendMethod method = SendMethod::None;
    TransferFormat format = TransferFormat::Dct;
    std::string emailTo;
    std::string folder;
    std::string ftpServer;
    std::string ftpUserName;
    std::string ftpPassword;
    std::string ftpDirectory;
    // Plain FTP (a password in clear text) allowed for this server.
    bool bFtpAllowPlain = false;
    // The typist pool: an IMAP server ("host[:port]", 993 when none), its
    // log-on, and the pool's folder there.
    std::string poolServer;
    std::string poolUserName;
    std::string poolPassword;
    std::string poolFolder;
    // Log-on without TLS allowed for this server.
    bool bPoolAllowPlain = false;
    std::string runCommand;
    int nRunCommandTimeoutSeconds = kDefaultCommandTimeoutSeconds;
    // The key DCT files are sealed with; empty for none.
    std::string encryptionKey;
    // Typists' age public keys ("age1...", separated by commas); when set the
    // transfer file is sealed to them and the dictator, and Blowfish is not used.
    std::string sealTo;
    std::string fileNameFormat = kDefaultFileNameFormat;

    bool operator==(const LRecipient&) const = default;
};
