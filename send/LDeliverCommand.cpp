#include "send/LDelivery.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LRunCommand.h"

#include <algorithm>

namespace {

constexpr size_t kOutputLinesShown = 5;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string LastLines(const std::string& output, size_t nLines)
{
    size_t nStart = output.size();
    for (size_t n = 0; n < nLines && nStart > 0; ++n) {
        size_t nBreak = output.rfind('\n', nStart - 1);
        nStart = nBreak == std::string::npos ? 0 : nBreak;
        if (nBreak == std::string::npos)
            break;
    }
    return output.substr(nStart < output.size() && output[nStart] == '\n' ? nStart + 1 : nStart);
}

// Programs that run their -c argument as shell code.
bool IsShell(std::string_view name)
{
    static constexpr std::string_view kShells[] = { "sh", "ash", "bash", "rbash", "dash", "zsh", "ksh", "ksh93", "mksh",
        "pdksh", "oksh", "lksh", "yash", "posh", "hush", "fish", "csh", "tcsh" };
    return std::find(std::begin(kShells), std::end(kShells), name) != std::end(kShells);
}

// The first argument that is the shell itself, past "env" and its settings
// and "busybox"; args.size() when the program is no shell.
size_t ShellArgument(const std::vector<std::string>& args)
{
    size_t i = 0;
    if (!args.empty() && _GetFileFromPath(args[0]) == "env") {
        for (i = 1; i < args.size() && (args[i].starts_with('-') || args[i].find('=') != std::string::npos); ++i)
            if (args[i] == "-u" || args[i] == "-C" || args[i] == "--unset" || args[i] == "--chdir")
                ++i;
    }
    if (i < args.size() && _GetFileFromPath(args[i]) == "busybox")
        ++i;
    return i < args.size() && IsShell(_GetFileFromPath(args[i])) ? i : args.size();
}

// True when a shell is told to run a command string (-c, or a cluster such
// as -ec) and the marker is in that string or in an option before it.
bool ShellRunsMarkerAsCode(const std::vector<std::string>& args, std::string_view marker)
{
    const size_t nShell = ShellArgument(args);
    bool bCommand = false, bMarker = false;
    for (size_t i = nShell + 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        bMarker = bMarker || arg.find(marker) != std::string::npos;
        if (arg == "--") {
            bMarker = bMarker || (i + 1 < args.size() && args[i + 1].find(marker) != std::string::npos);
            break;
        }
        if (arg.starts_with("--")) {
            bCommand = bCommand || arg == "--command" || arg.starts_with("--command=");
            if (arg == "--rcfile" || arg == "--init-file" || arg == "--command")
                ++i;
            continue;
        }
        if (arg.size() < 2 || (arg[0] != '-' && arg[0] != '+'))
            break; // the first operand: the command string when -c was given
        bCommand = bCommand || (arg[0] == '-' && arg.find('c') != std::string::npos);
        if (arg.back() == 'o' || arg.back() == 'O')
            ++i; // -o NAME
    }
    return bCommand && bMarker;
}

} // namespace

bool CheckCommandTemplate(std::string_view commandTemplate, std::string* pProblem)
{
    // No setting holds a NUL, so it marks where the path would go.
    const std::string marker(1, '\0');
    std::vector<std::string> args;
    if (!SplitCommandTemplate(commandTemplate, marker, &args, pProblem))
        return false;
    if (ShellRunsMarkerAsCode(args, marker)) {
        *pProblem = "The command gives %filepath% to a shell inside the command string of -c, where a file's name "
                    "would be run as shell code. Pass the file as its own argument instead (sh -c 'prog \"$0\"' "
                    "%filepath%) or run a script.";
        return false;
    }
    return true;
}

bool SplitCommandTemplate(
    std::string_view text, const std::string& filePath, std::vector<std::string>* pArgs, std::string* pProblem)
{
    enum class Quote { None, Single, Double } quote = Quote::None;
    pArgs->clear();
    std::string word;
    bool bWord = false; // a word has begun, even an empty quoted one
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            size_t nEnd = text.find('%', i + 1);
            std::string_view name = text.substr(i + 1, nEnd == std::string_view::npos ? text.npos : nEnd - i - 1);
            i = nEnd == std::string_view::npos ? text.size() : nEnd;
            // A token left open at the end still counts; "%%" is one '%'.
            bool bPercent = name.empty() && nEnd != std::string_view::npos;
            if (bPercent || name == "filepath") {
                word += bPercent ? std::string("%") : filePath;
                bWord = true;
            }
            continue;
        }
        bool bNext = i + 1 < text.size();
        switch (quote) {
        case Quote::None:
            if (IsBlank(c)) {
                if (bWord)
                    pArgs->push_back(std::move(word));
                word.clear();
                bWord = false;
            } else if (c == '\'' || c == '"') {
                quote = c == '\'' ? Quote::Single : Quote::Double;
                bWord = true;
            } else if (c == '\\' && bNext) {
                if (text[++i] != '\n') {
                    word += text[i];
                    bWord = true;
                }
            } else if (std::string_view("|&;<>()`").find(c) != std::string_view::npos) {
                *pProblem = tplprintf("The command line holds the shell syntax \"%s\", but it is run without a shell; "
                                      "put it into a script and run that.",
                    std::string(1, c));
                return false;
            } else {
                word += c;
                bWord = true;
            }
            break;
        case Quote::Single:
            if (c == '\'')
                quote = Quote::None;
            else
                word += c;
            break;
        case Quote::Double:
            if (c == '"') {
                quote = Quote::None;
            } else if (c == '\\' && bNext && std::string_view("$`\"\\\n").find(text[i + 1]) != std::string_view::npos) {
                if (text[++i] != '\n')
                    word += text[i];
            } else {
                word += c;
            }
            break;
        }
    }
    if (quote != Quote::None) {
        *pProblem = "A quotation mark in the command line is not closed.";
        return false;
    }
    if (bWord)
        pArgs->push_back(std::move(word));
    return true;
}

std::string CommandLineText(const std::vector<std::string>& args)
{
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty())
            line += ' ';
        bool bPlain = !arg.empty()
            && arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-./=:,+@%")
                == std::string::npos;
        if (bPlain) {
            line += arg;
            continue;
        }
        line += '\'';
        for (char c : arg)
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

JobResult ProcessRunCommand(
    LProgressReporter& progress, const std::string& commandTemplate, const std::string& filePath, uint32_t timeoutMs)
{
    std::vector<std::string> args;
    std::string problem;
    bool bSplit = CheckCommandTemplate(commandTemplate, &problem)
        && SplitCommandTemplate(commandTemplate, filePath, &args, &problem);
    std::string shown = bSplit ? CommandLineText(args) : commandTemplate;
    auto fail = [&](const std::string& why) {
        progress.ErrorBox(tplprintf("Unable to run the command \"%s\".", shown) + " " + why);
        return JobResult::kFailed;
    };
    if (!bSplit)
        return fail(problem);
    if (args.empty())
        return fail("The command line is empty.");
    LProcessRunner::Options options;
    options.timeoutMs = timeoutMs;
    LProcessResult result = LProcessRunner::Run(args, options, &progress);
    if (result.Succeeded())
        return JobResult::kDone;
    if (result.end == LProcessResult::End::Stopped)
        return JobResult::kStopped;
    std::string why = "The command " + result.Describe() + ".";
    if (!result.output.empty())
        why += "\n" + LastLines(result.output, kOutputLinesShown);
    return fail(why);
}

// The send status stays as it was: the command says nothing of where the file went.
JobResult DeliverByCommand(const LDeliveryRequest& request, LProgressReporter& progress, std::string*)
{
    // A script that hands the file on to a slow share may need longer than the usual two minutes, and one
    // that is known to answer at once may be given less.
    const LRecipient recipient = LDictationEngineSettings::GetRecipient(request.uSendTo);
    return ProcessRunCommand(progress, recipient.runCommand, request.transferPath,
        static_cast<uint32_t>(recipient.nRunCommandTimeoutSeconds) * 1000);
}
