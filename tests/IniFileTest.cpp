#include "formats/IniFile.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#ifndef _WIN32
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace pasavel;

TEST(IniFile, SetsOneKeyAndKeepsEveryOtherLine)
{
    struct Case {
        const char* description;
        std::string before;
        std::string after;
    };
    const std::vector<Case> cases = {
        {"new file", "", "[Transformadores]\r\nTransformado=1\r\n"},
        {"replaces the value in place",
         "; Velmora\r\n[General]\r\nRuta=C:\\V\r\n[transformadores]\r\n TRANSFORMADO = 0 \r\nOtro=2\r\n",
         "; Velmora\r\n[General]\r\nRuta=C:\\V\r\n[transformadores]\r\nTransformado=1\r\nOtro=2\r\n"},
        {"adds a missing key at the end of its section", "[Transformadores]\nOtro=2\n\n[General]\nRuta=x\n",
         "[Transformadores]\nOtro=2\nTransformado=1\n\n[General]\nRuta=x\n"},
        {"adds a missing section at the end, after a last line without break", "[General]\nRuta=x",
         "[General]\nRuta=x\n[Transformadores]\nTransformado=1\n"},
        {"a commented key is not the key", "[Transformadores]\r\n;Transformado=7\r\n",
         "[Transformadores]\r\n;Transformado=7\r\nTransformado=1\r\n"},
        {"the same key in another section stays", "[Otra]\nTransformado=5\n",
         "[Otra]\nTransformado=5\n[Transformadores]\nTransformado=1\n"},
    };
    for (const Case& testCase : cases)
        EXPECT_EQ(withIniValue(testCase.before, "Transformadores", "Transformado", "1"), testCase.after)
            << testCase.description;
}

TEST(IniFile, WritesTheFileInPlace)
{
    test::TemporaryDirectory directory;
    const auto file = directory / "Velmora.ini";
    writeIniValue(file, "Transformadores", "Transformado", "-1");
    writeIniValue(file, "Transformadores", "Transformado", "0");
    EXPECT_EQ(test::readBytes(file), "[Transformadores]\r\nTransformado=0\r\n");
}

#ifndef _WIN32

namespace {

// Runs write as a user who may not create files in a read-only folder: the
// test's own user, or, under root (who may write anywhere), an unprivileged
// user in a child process. Returns whether write ran without an error.
bool runUnprivileged(const std::function<void()>& write)
{
    if (::geteuid() != 0) {
        try {
            write();
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }
    const pid_t child = ::fork();
    if (child == 0) {
        const uid_t nobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0)
            ::_exit(2);
        try {
            write();
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

// An installed program's folder belongs to root; its Velmora.ini is a link
// to a shared file that every user may write, in a folder they may not.
TEST(IniFile, WritesTheSharedFileALinkNamesAndKeepsTheLink)
{
    for (const bool folderWritable : {true, false}) {
        SCOPED_TRACE(folderWritable ? "shared folder writable" : "shared folder read-only");
        test::TemporaryDirectory directory;
        const auto program = directory / "programa";
        const auto shared = directory / "compartido";
        std::filesystem::create_directory(program);
        std::filesystem::create_directory(shared);
        test::writeBytes(shared / "Velmora.ini", "[General]\r\nRuta=x\r\n");
        std::filesystem::create_symlink("../compartido/Velmora.ini", program / "Velmora.ini");
        std::filesystem::permissions(directory.path(), std::filesystem::perms(0755));
        std::filesystem::permissions(shared / "Velmora.ini", std::filesystem::perms(0666));
        std::filesystem::permissions(shared, std::filesystem::perms(folderWritable ? 0755 : 0555));
        struct stat before {};
        ::stat((shared / "Velmora.ini").c_str(), &before);

        const auto write = [&] {
            writeIniValue(program / "Velmora.ini", "Transformadores", "Transformado", "1");
        };
        EXPECT_TRUE(folderWritable ? (write(), true) : runUnprivileged(write));

        std::filesystem::permissions(shared, std::filesystem::perms(0755));
        EXPECT_TRUE(std::filesystem::is_symlink(program / "Velmora.ini"));
        EXPECT_EQ(test::readBytes(shared / "Velmora.ini"),
                  "[General]\r\nRuta=x\r\n[Transformadores]\r\nTransformado=1\r\n");
        struct stat after {};
        ::stat((shared / "Velmora.ini").c_str(), &after);
        EXPECT_EQ(after.st_mode & 07777, 0666u) << "every user may still write it";
        if (!folderWritable) {
            EXPECT_EQ(after.st_ino, before.st_ino) << "rewritten in place";
        }
    }
}

#else

TEST(IniFile, WritesTheSharedFileALinkNamesAndKeepsTheLink)
{
    GTEST_SKIP() << "a Linux installation's shared Velmora.ini (a symbolic link, folder permissions, another "
                    "user through fork); Windows installs the program otherwise";
}

#endif
