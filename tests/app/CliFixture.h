// The fixture of every test that drives the real tavrine-cli binary: an
// isolated settings and data environment that the child inherits, and the
// one way to run it.
#pragma once

#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

class CliTest : public ::testing::Test {
protected:
    // Runs "tavrine-cli ARGS"; stderr goes to *pErr when given, else it is
    // folded into the output. Standard input comes from the given text.
    int Run(const std::string& args, std::string* pOut = nullptr, const std::string& input = {},
        std::string* pErr = nullptr)
    {
        std::string out;
        std::string command = std::string(TAVRINE_CLI) + " " + args + (pErr ? " 2>" + Q("stderr") : " 2>&1");
        if (!input.empty()) {
            EXPECT_TRUE(test::WriteFileBytes(File("stdin.txt"), { input.begin(), input.end() }));
            command += " < " + Q("stdin.txt");
        }
        int status = test::RunShell(command, &out);
        if (pOut)
            *pOut = out;
        if (pErr) {
            std::vector<uint8_t> bytes = test::ReadFileBytes(File("stderr"));
            pErr->assign(bytes.begin(), bytes.end());
        }
        return status;
    }
    // Starts "tavrine-cli ARGS" in the background, the program itself rather than a shell around it (so a
    // signal reaches it), with its output into the file out; test::ReapWithin ends it.
    static pid_t Start(const std::string& args, const std::string& out = "/dev/null")
    {
        const std::string command
            = "exec " + std::string(TAVRINE_CLI) + " " + args + " >" + test::ShellQuote(out) + " 2>&1";
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            std::_Exit(127);
        }
        return pid;
    }
    std::string File(const std::string& name) const { return env.Dir().File(name); }
    // A file of the test's folder, quoted for the shell.
    std::string Q(const std::string& name) const { return test::ShellQuote(File(name)); }
    // Runs a peer tool's command line that must succeed; gives its output.
    std::string Shell(const std::string& command)
    {
        std::string out;
        EXPECT_EQ(test::RunShell(command, &out), 0) << command;
        return out;
    }
    std::string NewDictation(const std::string& args = "")
    {
        std::string out;
        EXPECT_EQ(Run("new" + args, &out), 0) << out;
        return out.substr(0, out.find('\n'));
    }
    // A sound file's samples as sox decodes them: 16-bit little-endian bytes, or the samples.
    std::vector<uint8_t> SoxBytes(const std::string& name)
    {
        Shell("sox " + Q(name) + " -t raw -e signed -b 16 -L " + Q(name + ".s16"));
        return test::ReadFileBytes(File(name + ".s16"));
    }
    std::vector<int16_t> SoxSamples(const std::string& name)
    {
        const std::vector<uint8_t> bytes = SoxBytes(name);
        std::vector<int16_t> out;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            out.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
        return out;
    }
    static std::vector<std::string> Split(const std::string& text, char separator)
    {
        std::vector<std::string> parts;
        std::string part;
        std::istringstream in(text);
        while (std::getline(in, part, separator))
            parts.push_back(part);
        return parts;
    }

    test::IsolatedEnvironment env;
};

#define EXPECT_CONTAINS(text, part)                                                                                    \
    do {                                                                                                               \
        EXPECT_NE((text).find(part), std::string::npos) << "no \"" << (part) << "\" in:\n" << (text);                  \
    } while (0)
