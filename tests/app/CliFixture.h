// The fixture of every test that drives the real tavrine-cli binary: an
// isolated settings and data environment that the child inherits.
#pragma once

#include "tests/support/TestSupport.h"

#include <string>

class CliTest : public ::testing::Test {
protected:
    // Runs "tavrine-cli ARGS" with stderr folded into the output; standard
    // input comes from the given text when there is one.
    int Run(const std::string& args, std::string* pOut = nullptr, const std::string& input = {})
    {
        std::string out;
        std::string command = std::string(TAVRINE_CLI) + " " + args + " 2>&1";
        if (!input.empty()) {
            EXPECT_TRUE(test::WriteFileBytes(env.Dir().File("stdin.txt"), { input.begin(), input.end() }));
            command += " < " + Q("stdin.txt");
        }
        int status = test::RunShell(command, &out);
        if (pOut)
            *pOut = out;
        return status;
    }
    // A file of the test's folder, quoted for the shell.
    std::string Q(const std::string& name) const { return test::ShellQuote(env.Dir().File(name)); }
    // Runs a peer tool's command line that must succeed; gives its output.
    std::string Shell(const std::string& command)
    {
        std::string out;
        EXPECT_EQ(test::RunShell(command, &out), 0) << command;
        return out;
    }

    test::IsolatedEnvironment env;
};
