// The Create HTML command, driven through the dialog: the options taken
// from the controls, the warnings, the save dialog, the runs, the messages
// and the reset.
#include <cstdio>
#include <optional>

#include "dialog_fixture.h"

namespace quilldex::testing::ui {
namespace {

constexpr char kRecursiveWarning[] =
    "Output files will be stored in their corresponding directories, overwriting any files "
    "with the same name that may already exist there. Also, any path changes you make in the "
    "following dialog box will be ignored.";
constexpr char kPrefixWarning[] =
    "You have specified both recursion AND link prefix text. This will lead to undesirable "
    "results if your end goal is to navigate a remote directory structure. I recommended "
    "entering NO link prefix text, so you can rely on relative browsing.";

// 2001-04-25 and 2000-12-31 at noon UTC: the same date in every time zone.
constexpr std::int64_t kApril25 = 988200000;
constexpr std::int64_t kDecember31 = 978264000;

// Holds a file open for writing without sharing it.
class FileHolder {
public:
    explicit FileHolder(const fs::path& path)
        : handle_(CreateFileA(path.string().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr))
    {
    }
    ~FileHolder()
    {
        if (held()) {
            CloseHandle(handle_);
        }
    }
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;
    bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

// The local time of day of `utcSeconds`, as the Time column writes it.
std::string localTimeOfDay(std::int64_t utcSeconds)
{
    const auto ticks = static_cast<ULONGLONG>(utcSeconds + 11644473600LL) * 10000000ULL;
    const FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    FILETIME local = {};
    SYSTEMTIME fields = {};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &fields);
    char text[16] = {};
    std::snprintf(text, sizeof text, "%02u:%02u.%02u", fields.wHour, fields.wMinute, fields.wSecond);
    return text;
}

TEST_F(DialogTest, SingleRunWritesTheIndexFromTheControlsAndResets)
{
    setLastWriteTime(tree.file("a b.txt", "hello"), kApril25);
    setLastWriteTime(tree.file("notes.txt", "<title>Notes</title>" + std::string(2980, 'x')), kDecember31);
    tree.file("photo.jpg", "jpeg");
    tree.file("sub/inner.txt", "not listed");
    start();

    setControlText(dialog(), IDC_MASK, "*.txt");
    click(dialog(), IDC_SHOW_DATE);
    click(dialog(), IDC_MAKE_LINKS);
    setControlText(dialog(), IDC_PREFIX, "files/");
    click(dialog(), IDC_READ_TITLES);
    click(dialog(), IDC_STYLE_BYTES);
    pressButton(dialog(), IDOK);
    typeOutputPath(tree.path("index.html"));
    expectMessage("Done", "HTML file index has been saved", false);

    EXPECT_EQ(readFile(tree.path("index.html")),
              headerRow(true, false, true) +
                  "<tr><td><a href=\"files/a%20b.txt\">a b.txt</a></td><td>5 bytes</td>"
                  "<td>2001-04-25</td></tr>\r\n"
                  "<tr><td><a href=\"files/notes.txt\">Notes</a></td><td>3000 bytes</td>"
                  "<td>2000-12-31</td></tr>\r\n" +
                  creditLine());
    // The reset is posted, so it comes once the command has returned.
    const auto reset = defaultState(tree.root().string());
    for (int tries = 0; tries < 100 && readState(dialog()) != reset; ++tries) {
        Sleep(20);
    }
    EXPECT_EQ(readState(dialog()), reset);
}

TEST_F(DialogTest, LongMaskIsCutTo127Characters)
{
    const std::string name127(127, 'a');
    const std::string name200(200, 'a');
    setLastWriteTime(tree.file(name127), kApril25);
    tree.file(name200);
    start();

    setControlText(dialog(), IDC_MASK, name200);
    click(dialog(), IDC_SHOW_TIME);
    pressButton(dialog(), IDOK);
    // Without an extension the name gets the default one.
    typeOutputPath(tree.path("list"));
    expectMessage("Done", "HTML file index has been saved", false);

    EXPECT_EQ(readFile(tree.path("list.html")), headerRow(true, true, false) + "<tr><td>" + name127 +
                                                    "</td><td>0 bytes</td><td>" + localTimeOfDay(kApril25) +
                                                    "</td></tr>\r\n" + creditLine());
}

TEST_F(DialogTest, RecursiveRunWithPrefixWarnsTwiceAndWritesIntoEveryDirectory)
{
    tree.file("top/x.txt", "x");
    tree.file("top/sub/y.txt", "yy");
    tree.dir("elsewhere");
    start(tree.path("top"));

    click(dialog(), IDC_RECURSIVE);
    // The second warning depends on the prefix alone, links being off.
    setControlText(dialog(), IDC_PREFIX, "pub/");
    pressButton(dialog(), IDOK);
    expectMessage("Warning", kRecursiveWarning, true);
    expectMessage("Warning", kPrefixWarning, true);
    const HWND save = typeOutputPath(tree.path("elsewhere/idx.html"));
    ASSERT_NE(save, nullptr);
    expectMessage("Done", "Recursive indexes have been saved", false);

    EXPECT_EQ(listTree(tree.root()), (std::set<std::string>{"elsewhere", "top", "top/idx.html", "top/sub",
                                                            "top/sub/idx.html", "top/sub/y.txt", "top/x.txt"}));
    EXPECT_EQ(readFile(tree.path("top/idx.html")), headerRow(true, false, false) +
                                                       "<tr><td>..</td><td>DIR</td></tr>\r\n"
                                                       "<tr><td>sub</td><td>DIR</td></tr>\r\n"
                                                       "<tr><td>x.txt</td><td>1 bytes</td></tr>\r\n" +
                                                       creditLine());
}

// A directory whose index cannot be written does not fail the run: the
// success box comes, then one warning naming the directory.
TEST_F(DialogTest, RecursiveRunThatSkipsADirectorySucceedsAndWarnsOnce)
{
    tree.file("top/x.txt", "x");
    tree.dir("top/blocked/idx.html/keep");
    tree.file("top/fine/y.txt", "y");
    start(tree.path("top"));

    click(dialog(), IDC_RECURSIVE);
    pressButton(dialog(), IDOK);
    expectMessage("Warning", kRecursiveWarning, true);
    ASSERT_NE(typeOutputPath(tree.path("top/idx.html")), nullptr);
    expectMessage("Done", "Recursive indexes have been saved", false);
    expectMessage("Warning",
                  "1 directory was skipped; their indexes were not written. The first:\n"
                  "open(blocked/idx.html): Is a directory",
                  true);
    EXPECT_FALSE(program->shows("Warning"));
    EXPECT_TRUE(std::filesystem::is_regular_file(tree.path("top/idx.html")));
    EXPECT_TRUE(std::filesystem::is_regular_file(tree.path("top/fine/idx.html")));
}

TEST_F(DialogTest, RecursiveRunWithoutPrefixWarnsOnceAndCancellingWritesNothing)
{
    tree.file("x.txt", "x");
    tree.file("sub/y.txt", "y");
    start();
    click(dialog(), IDC_RECURSIVE);
    const auto before = readState(dialog());
    const auto files = listTree(tree.root());

    pressButton(dialog(), IDOK);
    expectMessage("Warning", kRecursiveWarning, true);
    const HWND save = expectWindow("Export to file");
    ASSERT_NE(save, nullptr);
    EXPECT_FALSE(program->shows("Warning"));
    press(save, IDCANCEL);

    EXPECT_EQ(readState(dialog()), before);
    EXPECT_EQ(listTree(tree.root()), files);
}

TEST_F(DialogTest, CancellingTheSaveDialogWritesNothingAndKeepsEveryControl)
{
    tree.file("x.txt", "x");
    start();
    setControlText(dialog(), IDC_MASK, "*.txt");
    setControlText(dialog(), IDC_PREFIX, "http://example.org/");
    for (const int control :
         {IDC_SHOW_SIZE, IDC_SHOW_TIME, IDC_SHOW_DATE, IDC_MAKE_LINKS, IDC_READ_TITLES, IDC_STYLE_MB}) {
        click(dialog(), control);
    }
    const auto before = readState(dialog());
    EXPECT_EQ(before.checked,
              (std::set<int>{IDC_SHOW_TIME, IDC_SHOW_DATE, IDC_MAKE_LINKS, IDC_READ_TITLES, IDC_STYLE_MB, IDC_SINGLE}));

    pressButton(dialog(), IDOK);
    const HWND save = expectWindow("Export to file");
    ASSERT_NE(save, nullptr);
    press(save, IDCANCEL);

    EXPECT_FALSE(program->shows("Done"));
    EXPECT_EQ(readState(dialog()), before);
    EXPECT_EQ(listTree(tree.root()), std::set<std::string>{"x.txt"});
}

TEST_F(DialogTest, OutputThatCannotBeCreatedIsReportedAndKeepsTheControls)
{
    // A file held open without sharing cannot be opened again for writing,
    // whatever the rights of the user.
    const auto locked = tree.file("locked.html");
    std::optional<FileHolder> holder(std::in_place, locked);
    ASSERT_TRUE(holder->held());
    start();
    click(dialog(), IDC_SHOW_DATE);
    const auto before = readState(dialog());

    pressButton(dialog(), IDOK);
    const HWND save = typeOutputPath(locked);
    // The save dialog asks before replacing the file.
    const HWND replace = expectWindow("Export to file", save);
    if (replace != nullptr) {
        press(replace, IDYES);
    }
    expectMessage("Error", "Could not create output file", true);

    EXPECT_FALSE(program->shows("Done"));
    EXPECT_EQ(readState(dialog()), before);
    holder.reset();
    EXPECT_EQ(readFile(locked), "");
}

TEST_F(DialogTest, DirectoryThatHasGoneIsReportedAndNothingIsWritten)
{
    tree.file("old/work/x.txt", "x");
    start(tree.path("old/work"));
    const auto before = readState(dialog());
    ASSERT_TRUE(MoveFileA(tree.path("old").string().c_str(), tree.path("new").string().c_str()));

    pressButton(dialog(), IDOK);
    const HWND box = expectWindow("Error");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(messageBoxText(box).find((tree.root() / "old" / "work").string()), std::string::npos)
        << messageBoxText(box);
    EXPECT_TRUE(messageBoxHasIcon(box));
    press(box, IDOK);

    EXPECT_FALSE(program->shows("Export to file"));
    EXPECT_FALSE(program->shows("Warning"));
    EXPECT_EQ(readState(dialog()), before);
    EXPECT_EQ(listTree(tree.root()), (std::set<std::string>{"new", "new/work", "new/work/x.txt"}));
}

TEST_F(DialogTest, MaskHoldingAPathIsRefusedBeforeTheSaveDialog)
{
    tree.file("top/x.txt", "x");
    tree.file("secret.txt", "s");
    start(tree.path("top"));
    click(dialog(), IDC_RECURSIVE);

    for (const char* mask : {"..\\*.*", "../*.txt", "C:*.*"}) {
        SCOPED_TRACE(mask);
        setControlText(dialog(), IDC_MASK, mask);
        const auto before = readState(dialog());
        pressButton(dialog(), IDOK);
        expectMessage("Error",
                      "The file mask cannot hold a path (\\, / or :). Enter only a pattern such as *.htm, "
                      "and choose the directory with Browse.",
                      true);
        EXPECT_FALSE(program->shows("Warning"));
        EXPECT_FALSE(program->shows("Export to file"));
        EXPECT_EQ(readState(dialog()), before);
    }
    EXPECT_EQ(listTree(tree.root()), (std::set<std::string>{"secret.txt", "top", "top/x.txt"}));
}

}  // namespace
}  // namespace quilldex::testing::ui
