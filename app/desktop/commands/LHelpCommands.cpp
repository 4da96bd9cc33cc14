#include "app/desktop/commands/LHelpCommands.h"

#include "app/shared/prompts/LUserPrompts.h"
#include "foundation/LText.h"

#include <QUrl>

#include <filesystem>

#ifndef TAVRINE_VERSION
#define TAVRINE_VERSION "unknown"
#endif
#ifndef TAVRINE_WEB_ADDRESS
#define TAVRINE_WEB_ADDRESS ""
#endif

namespace {

constexpr const char* kSingleFile = "tavrine-manual.html";
constexpr const char* kPageFolder = "../share/doc/tavrine/manual";

constexpr LHelpCommands::Page kPages[] = {
    { HelpPageCommand(0), "start.html", "Getting Started" },
    { HelpPageCommand(1), "recording.html", "Recording and Editing" },
    { HelpPageCommand(2), "playing.html", "Playing" },
    { HelpPageCommand(3), "keys.html", "Keys and Hot Keys" },
    { HelpPageCommand(4), "controllers.html", "Foot Pedals and Hand Controllers" },
    { HelpPageCommand(5), "notes.html", "Notes and Data Prompts" },
    { HelpPageCommand(6), "attachments.html", "Attachments" },
    { HelpPageCommand(7), "recipients.html", "Recipients" },
    { HelpPageCommand(8), "sending.html", "Send Methods" },
    { HelpPageCommand(9), "sentwork.html", "Sent Work and Recovery" },
    { HelpPageCommand(10), "import.html", "Importing Audio and the Dock" },
    { HelpPageCommand(11), "settings.html", "Settings" },
    { HelpPageCommand(12), "troubleshooting.html", "Troubleshooting" },
};
static_assert(HelpPageCommand(std::size(kPages) - 1) <= LCommandId::kHelpPageLast);

bool IsFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

} // namespace

std::span<const LHelpCommands::Page> LHelpCommands::Pages()
{
    return kPages;
}

const char* LHelpCommands::BuiltWebAddress()
{
    return TAVRINE_WEB_ADDRESS;
}

LHelpCommands::LHelpCommands(
    LUserPrompts& prompts, QString programFolder, LAttachmentOpener::Launcher launcher, QString webAddress)
    : m_prompts(prompts)
    , m_programFolder(std::move(programFolder))
    , m_launcher(std::move(launcher))
{
    // Only a web page: xdg-open would run whatever a file address names.
    const QUrl url(webAddress.trimmed(), QUrl::StrictMode);
    if (url.isValid() && !url.host().isEmpty() && (url.scheme() == "https" || url.scheme() == "http"))
        m_webAddress = url.toString(QUrl::FullyEncoded);
}

void LHelpCommands::RegisterCommands(LCommandRouter& router)
{
    LCommandRouter::Handler contents;
    contents.trigger = [this] { return OpenPage(nullptr); };
    router.Register(LCommandId::kHelpContents, std::move(contents));
    LCommandRouter::Handler about;
    about.trigger = [this] {
        m_prompts.box(m_pParent, LUserPrompts::Box::Information, QStringLiteral("About Tavrine Dictate"),
            AboutText(FindManual()));
        return true;
    };
    router.Register(LCommandId::kAbout, std::move(about));
    if (!m_webAddress.isEmpty()) {
        LCommandRouter::Handler web;
        web.trigger = [this] {
            if (m_launcher && m_launcher({ "xdg-open", m_webAddress.toStdString() }))
                return true;
            m_prompts.box(m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
                QString::fromStdString(
                    tplprintf("\"%s\" could not be opened: \"xdg-open\" (package xdg-utils) did not start.",
                        m_webAddress.toStdString())));
            return false;
        };
        router.Register(LCommandId::kInternetResources, std::move(web));
    }
    for (const Page& page : kPages) {
        LCommandRouter::Handler handler;
        handler.trigger = [this, szFile = page.szFile] { return OpenPage(szFile); };
        router.Register(page.id, std::move(handler));
    }
}

std::string LHelpCommands::FindManual() const
{
    const std::filesystem::path folder(m_programFolder.toStdString());
    if (IsFile(folder / kSingleFile))
        return (folder / kSingleFile).lexically_normal().string();
    const std::filesystem::path index = (folder / kPageFolder / "index.html").lexically_normal();
    return IsFile(index) ? index.string() : std::string();
}

bool LHelpCommands::OpenPage(const char* szFile)
{
    const std::string manual = FindManual();
    if (manual.empty()) {
        const std::filesystem::path folder(m_programFolder.toStdString());
        m_prompts.box(m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf("The manual was not found. Tavrine Dictate looks for \"%s\" beside "
                                             "the program and for the folder \"%s\".",
                (folder / kSingleFile).lexically_normal().string(),
                (folder / kPageFolder).lexically_normal().string())));
        return false;
    }
    const bool bSingle = std::filesystem::path(manual).filename() == kSingleFile;
    bool bStarted = false;
    if (!szFile || !bSingle) {
        const std::string path = szFile ? (std::filesystem::path(manual).parent_path() / szFile).string() : manual;
        if (!IsFile(path)) {
            m_prompts.box(m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
                QString::fromStdString(tplprintf("The manual's page \"%s\" is missing.", path)));
            return false;
        }
        bStarted = LAttachmentOpener(m_launcher).Open(path, nullptr);
    } else {
        // One file: the page is its section, named after the page's file.
        QUrl url = QUrl::fromLocalFile(QString::fromStdString(manual));
        url.setFragment(QString::fromUtf8(szFile).chopped(5));
        bStarted = m_launcher && m_launcher({ "xdg-open", url.toString(QUrl::FullyEncoded).toStdString() });
    }
    if (!bStarted)
        m_prompts.box(m_pParent, LUserPrompts::Box::Error, QStringLiteral("Tavrine Dictate"),
            QString::fromStdString(tplprintf(
                "The manual \"%s\" could not be opened: \"xdg-open\" (package xdg-utils) did not start.", manual)));
    return bStarted;
}

QString LHelpCommands::AboutText(const std::string& manual)
{
    return QString::fromStdString(
        tplprintf("Tavrine Dictate %s\n"
                  "Records dictations and sends them for transcription.\n\n"
                  "Tavrine Dictate uses these libraries, each under its own licence:\n"
                  "Qt 6 (Core, Gui, Widgets, D-Bus, Network): GNU LGPL version 3\n"
                  "libcurl: the curl licence (MIT style)\n"
                  "OpenSSL: Apache License 2.0\n"
                  "ALSA library (libasound): GNU LGPL version 2.1\n"
                  "Xlib (libX11): the X11 (MIT) licence\n"
                  "GNU C and C++ libraries: GNU LGPL version 2.1 and GPL version 3 with the runtime exception\n\n"
                  "Manual: %s",
            TAVRINE_VERSION, manual.empty() ? std::string("not found") : manual));
}
