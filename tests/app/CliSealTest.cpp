// tavrine-cli seal, unseal and keygen as a script uses them, with the age
// tools as the other side: exit statuses, default names, the key file's
// mode, and no output at all from a file that is refused.
#include "tests/app/CliFixture.h"

#include <sys/stat.h>

TEST_F(CliTest, SealUnsealAndKeygenWorkWithTheAgeTools)
{
    TEST_REQUIRE_TOOL("age");
    std::string ourPub;
    ASSERT_EQ(Run("keygen --out " + Q("ours.key"), &ourPub, {}, nullptr), 0);
    struct stat st { };
    ASSERT_EQ(::stat(File("ours.key").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ourPub, Shell("age-keygen -y " + Q("ours.key")));
    EXPECT_NE(Run("keygen --out " + Q("ours.key")), 0) << "an identity is never replaced";
    Shell("age-keygen -o " + Q("theirs.key") + " 2>/dev/null");
    const std::string theirPub = Shell("age-keygen -y " + Q("theirs.key"));
    Shell("head -c 200000 /dev/urandom > " + Q("talk.wav"));

    ASSERT_EQ(Run("seal " + Q("talk.wav") + " --to " + ourPub.substr(0, 62) + " --to " + theirPub.substr(0, 62)), 0);
    Shell("age -d -i " + Q("theirs.key") + " " + Q("talk.wav.age") + " | cmp - " + Q("talk.wav"));
    Shell("mv " + Q("talk.wav") + " " + Q("original.wav"));
    ASSERT_EQ(Run("unseal " + Q("talk.wav.age") + " --identity " + Q("ours.key")), 0);
    Shell("cmp " + Q("talk.wav") + " " + Q("original.wav"));

    // Refused files: a stranger's key, a changed byte, a cut after the second of four chunks
    // (200000 bytes sealed are the header, a 16-byte nonce and four chunks of 16 more).
    Shell("age-keygen -o " + Q("stranger.key") + " 2>/dev/null");
    Shell("cp " + Q("talk.wav.age") + " " + Q("changed.age") + " && printf 'X' | dd of=" + Q("changed.age")
        + " bs=1 seek=150000 conv=notrunc 2>/dev/null");
    Shell("head -c $(( $(stat -c%s " + Q("talk.wav.age") + ") - 68960 )) " + Q("talk.wav.age") + " > " + Q("cut.age"));
    const struct {
        const char* file;
        const char* key;
        const char* says;
    } kRefused[] = {
        { "talk.wav.age", "stranger.key", "was not sealed for this key" },
        { "changed.age", "ours.key", "was changed or damaged" },
        { "cut.age", "ours.key", "is incomplete" },
    };
    for (const auto& row : kRefused) {
        std::string err;
        EXPECT_EQ(
            Run("unseal " + Q(row.file) + " --identity " + Q(row.key) + " --out " + Q("out"), nullptr, {}, &err), 1);
        EXPECT_NE(err.find(row.says), std::string::npos) << err;
        EXPECT_FALSE(test::FileNames(env.Dir().Path()).count("out")) << row.file;
    }
}
