// Saving header.cfg through a temporary file: what survives a failure and what a
// replaced file keeps of the old one.
#include "editor/template_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "loopback_server.h"

namespace kurvane {
namespace {

namespace fs = std::filesystem;

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t EntriesIn(const std::string& dir)
{
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(SaveTemplateText, ReplacesTheFileAndLeavesNoTemporaryBehind)
{
    test::TemplateDir dir("old\r\n");
    FileError error;
    ASSERT_TRUE(SaveTemplateText(dir.TemplatePath(), "GET / HTTP/1.0\r\n \t\r\n", true, error));
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(Contents(dir.TemplatePath()), "GET / HTTP/1.0");
    EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST(SaveTemplateText, KeepsThePermissionsOfTheFileItReplaces)
{
    test::TemplateDir dir;
    ASSERT_EQ(chmod(dir.TemplatePath().c_str(), 0640), 0);
    FileError error;
    ASSERT_TRUE(SaveTemplateText(dir.TemplatePath(), "A", true, error));
    struct stat st {};
    ASSERT_EQ(stat(dir.TemplatePath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(SaveTemplateText, SavesThroughASymbolicLinkAndKeepsTheLink)
{
    test::TemplateDir dir("old");
    const std::string shared = dir.Path() + "/shared.cfg";
    fs::rename(dir.TemplatePath(), shared);
    fs::create_symlink("shared.cfg", dir.TemplatePath());
    FileError error;
    ASSERT_TRUE(SaveTemplateText(dir.TemplatePath(), "new", true, error));
    EXPECT_TRUE(fs::is_symlink(dir.TemplatePath()));
    EXPECT_EQ(Contents(shared), "new");
}

TEST(SaveTemplateText, FailuresReportTheCauseAndChangeNothing)
{
    test::TemplateDir dir("old");
    FileError error;

    // A directory of that name cannot be written as a file.
    const std::string directory = dir.Path() + "/sub";
    fs::create_directory(directory);
    EXPECT_FALSE(SaveTemplateText(directory, "new", true, error));
    EXPECT_EQ(error.code, EISDIR);
    EXPECT_TRUE(fs::is_directory(directory));

    EXPECT_FALSE(SaveTemplateText(dir.Path() + "/missing/header.cfg", "new", true, error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(WithFullStop(error.Text()), "ファイルが見つかりません.");

    EXPECT_EQ(Contents(dir.TemplatePath()), "old");
    EXPECT_EQ(EntriesIn(dir.Path()), 2u);  // header.cfg and sub
}

TEST(TemplateFilePresent, CountsFilesButNotDirectories)
{
    test::TemplateDir dir;
    EXPECT_TRUE(TemplateFilePresent(dir.TemplatePath()));
    dir.Remove();
    EXPECT_FALSE(TemplateFilePresent(dir.TemplatePath()));
    fs::create_directory(dir.TemplatePath());
    EXPECT_FALSE(TemplateFilePresent(dir.TemplatePath()));
    fs::remove(dir.TemplatePath());
}

}  // namespace
}  // namespace kurvane
