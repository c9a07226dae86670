#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <regex>
#include <sys/stat.h>
#include <unistd.h>

#include "log_fixture.h"
#include "media/log/log.h"
#include "media/core/memory.h"
#include "media/core/system_state.h"

using testing_support::LogFixture;

namespace {

// Removes the "%d:" timestamps wherever a new line starts, keeping all other bytes.
std::string StripTimestamps(const std::string& log)
{
    return std::regex_replace(log, std::regex("(^|\r\n)-?[0-9]+:"), "$1");
}

struct LineEndCase {
    const char* name;
    std::vector<std::string> pieces;
    int indent;
    std::string expected;  // file contents without timestamps
};

void PrintTo(const LineEndCase& c, std::ostream* os)
{
    *os << c.name;
}

class LogLineEnds : public LogFixture, public ::testing::WithParamInterface<LineEndCase> {};

TEST_P(LogLineEnds, WritesExpectedBytes)
{
    const LineEndCase& c = GetParam();
    for (int i = 0; i < c.indent; ++i)
        media::LogIndent();
    for (const std::string& piece : c.pieces)
        media::LogAdd(piece.c_str());
    EXPECT_EQ(StripTimestamps(Log()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLineEnds,
    ::testing::Values(
        LineEndCase{"ContinuesOpenLine", {"abc", "def\n"}, 0, "abcdef\r\n"},
        LineEndCase{"EmptyTextOpensLine", {"", "x\n"}, 1, "\tx\r\n"},
        LineEndCase{"SingleLineFeed", {"\n"}, 2, "\t\t\r\n"},
        LineEndCase{"StopsAtExistingCrLf", {"a\r\nb\nc\n"}, 0, "a\r\nb\nc\n"},
        LineEndCase{"TwoLinesOneStamp", {"a\nb\n", "c\n"}, 1, "\ta\r\nb\r\n\tc\r\n"},
        LineEndCase{"LeadingLineFeed", {"\nx\n"}, 0, "\r\nx\r\n"},
        // 0x82 0x0A is one double-byte character: its second byte is no line end.
        LineEndCase{"StepsOverDoubleByte", {"\x82\n\n"}, 0, "\x82\n\r\n"},
        // Half-width katakana (0xB1) is a character of its own.
        LineEndCase{"KatakanaIsSingleByte", {"\xB1\n"}, 0, "\xB1\r\n"},
        // A lead byte just before the terminator does not step past it.
        LineEndCase{"LeadByteAtEnd", {"a\x82", "\n"}, 0, "a\x82\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogFixture, TimestampIsMillisecondsSinceStart)
{
    media::LogAdd("x\n");
    const std::string log = Log();
    ASSERT_TRUE(std::regex_match(log, std::regex("[0-9]+:x\r\n"))) << log;
    EXPECT_LT(std::stoi(log), 5000);
}

TEST_F(LogFixture, UnindentStopsAtZero)
{
    media::LogUnindent();
    EXPECT_EQ(media::systemState.logIndent, 0);
    media::LogIndent();
    media::LogUnindent();
    media::LogUnindent();
    EXPECT_EQ(media::systemState.logIndent, 0);
}

TEST_F(LogFixture, WritersReturnMinusOne)
{
    EXPECT_EQ(media::LogAdd("a\n"), -1);
    EXPECT_EQ(media::LogPrintf("%d\n", 5), -1);
    EXPECT_EQ(media::LogPrintfLine("%s", "b"), -1);
    EXPECT_EQ(StripTimestamps(Log()), "a\r\n5\r\nb\r\n");
}

TEST_F(LogFixture, StartBeginsAFreshFile)
{
    media::LogAdd("old\n");
    media::LogIndent();
    media::LogAdd("open");
    media::LogStart();
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(media::systemState.logIndent, 0);
    EXPECT_EQ(media::systemState.lineOpen, 0);
}

TEST_F(LogFixture, TextIsDroppedWithoutDirectory)
{
    media::systemState.logDirectory[0] = '\0';
    media::LogAdd("lost\n");
    EXPECT_EQ(Log(), "");
    EXPECT_EQ(media::systemState.lineOpen, 0);
}

TEST_F(LogFixture, BackslashPathsReachTheFile)
{
    const std::string sub = dir_ + "\\sub";
    ASSERT_EQ(mkdir((dir_ + "/sub").c_str(), 0755), 0);
    ASSERT_TRUE(media::SetLogLocation(sub.c_str(), "Log.txt"));
    media::LogStart();
    media::LogAdd("here\n");
    EXPECT_EQ(StripTimestamps(testing_support::ReadFile(dir_ + "/sub/Log.txt")), "here\r\n");
}

TEST_F(LogFixture, UnopenableFileKeepsLineStateAndLosesOnlyText)
{
    media::LogAdd("open");
    ASSERT_TRUE(media::SetLogLocation((dir_ + "/missing-folder").c_str(), "Log.txt"));
    ::testing::internal::CaptureStderr();
    media::LogAdd("lost\n");
    media::LogAdd("lost again\n");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(media::systemState.lineOpen, 1);
    // Said once, with the place and the reason, and the run goes on.
    const std::string expected = "the log " + dir_ + "/missing-folder/Log.txt cannot be written: " +
                                 std::strerror(ENOENT) + "; the run goes on without it\n";
    ASSERT_NE(said.find(expected), std::string::npos) << said;
    EXPECT_EQ(said.find("cannot be written"), said.rfind("cannot be written")) << said;
}

// A file that opens but refuses the bytes (a full disk) is reported too, and
// the line stays as it was, since nothing reached the file.
TEST_F(LogFixture, FailedWriteIsReportedAndKeepsLineState)
{
    const std::string sub = dir_ + "/full";
    ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    ASSERT_EQ(symlink("/dev/full", (sub + "/Log.txt").c_str()), 0);
    ASSERT_TRUE(media::SetLogLocation(sub.c_str(), "Log.txt"));
    ::testing::internal::CaptureStderr();
    media::LogAdd("lost\n");
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(media::systemState.lineOpen, 0);
    EXPECT_NE(said.find(sub + "/Log.txt cannot be written: " + std::strerror(ENOSPC)), std::string::npos) << said;
}

// Each run (each LogStart) reports its own first failure.
TEST_F(LogFixture, StartInAFolderThatIsGoneReportsAgain)
{
    ASSERT_TRUE(media::SetLogLocation((dir_ + "/missing-folder").c_str(), "Log.txt"));
    for (int run = 0; run < 2; ++run) {
        ::testing::internal::CaptureStderr();
        media::LogStart();
        media::LogAdd("lost\n");
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.find("cannot be written"), said.rfind("cannot be written")) << said;
        EXPECT_NE(said.find("cannot be written"), std::string::npos) << "run " << run;
    }
}

TEST_F(LogFixture, LongTextsAreConvertedWithoutOverrun)
{
    // 300 line feeds need 601 bytes once converted.
    const std::string feeds(300, '\n');
    const auto before = media::GetMemoryCounters();
    media::LogAdd(feeds.c_str());
    const auto after = media::GetMemoryCounters();
    EXPECT_EQ(after.allocCount, before.allocCount);
    EXPECT_EQ(uint16_t(after.nextAllocId - before.nextAllocId), 1) << "a long text takes one work buffer";
    std::string expected;
    for (int i = 0; i < 300; ++i)
        expected += "\r\n";
    EXPECT_EQ(StripTimestamps(Log()), expected);

    // A short text whose converted form would not fit in 256 bytes.
    media::LogStart();
    media::LogAdd(std::string(200, '\n').c_str());
    EXPECT_EQ(StripTimestamps(Log()).size(), 400u);
}

TEST_F(LogFixture, FormattedTextIsCutToItsBuffer)
{
    const std::string big(3000, 'x');
    media::LogPrintf("%s", big.c_str());
    media::LogAdd("\n");
    media::LogPrintfLine("%s", big.c_str());
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(1023, 'x'));
    EXPECT_EQ(lines[1], std::string(1022, 'x')) << "the appended line feed must still fit";
}

TEST_F(LogFixture, CutTextKeepsItsFinalLineFeed)
{
    const std::string big(3000, 'y');
    media::LogPrintf("%s\n", big.c_str());
    media::LogAdd("next\n");
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(1022, 'y'));
    EXPECT_EQ(lines[1], "next") << "the next entry starts a line of its own";
}

TEST_F(LogFixture, CutNeverSplitsADoubleByteCharacter)
{
    // 1022 ASCII bytes, then a double-byte character that does not fit whole.
    std::string text(1022, 'a');
    text += "\x82\xA0";
    media::LogPrintfLine("%s", text.c_str());
    media::LogAdd("next\n");
    const auto lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(1022, 'a'));
    EXPECT_EQ(lines[1], "next");
}

TEST_F(LogFixture, EchoGoesToStandardErrorAsUtf8)
{
    media::SetLogEcho(true);
    ::testing::internal::CaptureStderr();
    media::LogAdd("\x90\xED\x93\xAC\n");  // 戦闘 in Shift-JIS
    const std::string echoed = ::testing::internal::GetCapturedStderr();
    media::SetLogEcho(false);
    EXPECT_NE(echoed.find(":\xE6\x88\xA6\xE9\x97\x98\n"), std::string::npos) << echoed;
}

// The echo shows the lines the file could not take, with timestamps and
// tabs from its own line state, and the file's state is left alone.
TEST_F(LogFixture, EchoShowsEveryLineWhenTheFileIsLost)
{
    ASSERT_TRUE(media::SetLogLocation((dir_ + "/missing-folder").c_str(), "Log.txt"));
    media::SetLogEcho(true);
    ::testing::internal::CaptureStderr();
    media::LogIndent();
    media::LogAdd("first ");
    media::LogAdd("half\n");
    media::LogAdd("second\n");
    media::LogUnindent();
    const std::string said = ::testing::internal::GetCapturedStderr();
    media::SetLogEcho(false);
    EXPECT_EQ(media::systemState.lineOpen, 0);
    const std::string echoed = said.substr(said.find('\n') + 1);  // after the report line
    EXPECT_TRUE(std::regex_match(echoed, std::regex("[0-9]+:\tfirst half\n[0-9]+:\tsecond\n"))) << said;
}

TEST(LogEchoOption, CommandLineAndEnvironment)
{
    char a0[] = "prog", a1[] = "--log-echo", a2[] = "--seed";
    char* argv[] = {a0, a1, a2, nullptr};
    unsetenv("KORVANTA_LOG_ECHO");
    EXPECT_EQ(media::ConfigureLogEchoFromCommandLine(3, argv), 2);
    EXPECT_STREQ(argv[1], "--seed");
    EXPECT_TRUE(media::LogEchoEnabled());
    media::SetLogEcho(false);

    char* argv2[] = {a0, nullptr};
    setenv("KORVANTA_LOG_ECHO", "1", 1);
    EXPECT_EQ(media::ConfigureLogEchoFromCommandLine(1, argv2), 1);
    EXPECT_TRUE(media::LogEchoEnabled());
    unsetenv("KORVANTA_LOG_ECHO");
    media::SetLogEcho(false);
}

TEST(LogLocation, RefusesDirectoryThatDoesNotFit)
{
    const media::SystemState saved = media::systemState;
    EXPECT_FALSE(media::SetLogLocation(std::string(300, 'd').c_str(), "Log.txt"));
    EXPECT_TRUE(media::SetLogLocation(std::string(255, 'd').c_str(), "Log.txt"));
    media::systemState = saved;
}

}  // namespace
