#include "platform/shell/trash.h"

#include <sys/stat.h>

#include <regex>

#include "platform/shell/shell_test_support.h"

namespace {

using namespace shelltest;
using namespace shellerror;
using shelldetail::trashName;
using shelldetail::trashPathEncode;

class Trash : public ShellTest {};

std::string infoPath(const std::string& info) {
    std::smatch match;
    std::string text = readFile(info);
    static const std::regex form(
        "\\[Trash Info\\]\nPath=(.*)\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n");
    return std::regex_match(text, match, form) ? match[1].str() : "malformed: " + text;
}

TEST(TrashNames, PathsArePercentEncodedByteByByte) {
    EXPECT_EQ(trashPathEncode("/home/ann/a b é.txt"), "/home/ann/a%20b%20%C3%A9.txt");
    EXPECT_EQ(trashPathEncode("/x/100%+#?&=.avi"), "/x/100%25%2B%23%3F%26%3D.avi");
    EXPECT_EQ(trashPathEncode("/x/keep-_.!~*'()"), "/x/keep-_.!~*'()");
    EXPECT_EQ(trashPathEncode("/x/\n\\"), "/x/%0A%5C");
}

TEST(TrashNames, CandidatesStayUniqueAndWithinTheNameLimit) {
    EXPECT_EQ(trashName("a b é.txt", 1), "a b é.txt");
    EXPECT_EQ(trashName("a b é.txt", 2), "a b é.2.txt");
    EXPECT_EQ(trashName("folder", 3), "folder.3");
    EXPECT_EQ(trashName(".hidden", 2), ".hidden.2");
    // 247 bytes: the name is shortened before the "é", never inside it.
    std::string longName = std::string(240, 'x') + "é.avi";
    EXPECT_EQ(trashName(longName, 1), std::string(240, 'x') + ".avi");
    EXPECT_EQ(trashName(longName, 2), std::string(239, 'x') + ".2.avi");
    EXPECT_EQ(trashName(longName, 1234).size() + 10, 255u);
    EXPECT_NE(trashName(longName, 2), trashName(longName, 3));
}

TEST_F(Trash, DeleteWithUndoMovesToTheHomeTrashWithItsOrigin) {
    std::string name = "a b é.txt";
    writeFile(folder("My Videos") + "/" + name, "first");
    ASSERT_EQ(fileOperation(FO_DELETE, {path("My Videos/" + name)}, {}, 0x50), 0);
    EXPECT_FALSE(exists(path("My Videos/" + name)));
    EXPECT_EQ(readFile(trash + "/files/" + name), "first");
    std::string real = fs::canonical(root).string();
    EXPECT_EQ(infoPath(trash + "/info/" + name + ".trashinfo"),
              trashPathEncode(real) + "/My%20Videos/a%20b%20%C3%A9.txt");

    // A second file of the same name gets a name of its own; the first stays as it was.
    writeFile(path("My Videos/" + name), "second");
    ASSERT_EQ(fileOperation(FO_DELETE, {path("My Videos/" + name)}, {}, 0x50), 0);
    EXPECT_EQ(readFile(trash + "/files/a b é.2.txt"), "second");
    EXPECT_EQ(readFile(trash + "/files/" + name), "first");
    EXPECT_EQ(infoPath(trash + "/info/a b é.2.txt.trashinfo"),
              trashPathEncode(real) + "/My%20Videos/a%20b%20%C3%A9.txt");

    // Folders go whole.
    writeFile(folder("show") + "/e1.avi", "e1");
    ASSERT_EQ(fileOperation(FO_DELETE, {path("show/")}, {}, 0x50), 0);
    EXPECT_EQ(readFile(trash + "/files/show/e1.avi"), "e1");
    struct stat st;
    ASSERT_EQ(stat(trash.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(Trash, NoUsableTrashMeansNothingIsDeleted) {
    // A home trash that is a link to somewhere else is not ours to fill.
    folder("elsewhere");
    fs::create_directory_symlink(path("elsewhere"), trash);
    writeFile(path("keep.avi"), "keep");
    EXPECT_EQ(fileOperation(FO_DELETE, {path("keep.avi")}, {}, 0x50), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(readFile(path("keep.avi")), "keep");
    EXPECT_TRUE(fs::is_empty(path("elsewhere")));
}

TEST_F(Trash, ItemsOfAnotherMountGoToThatMountsTopFolder) {
    std::string uid = std::to_string(geteuid());
    struct Case {
        const char* setup;  // what $topdir/.Trash is beforehand
        std::string expectedTrash;
    } cases[] = {
        {"none", "/.Trash-" + uid},
        {"sticky", "/.Trash/" + uid},
        {"plain", "/.Trash-" + uid},  // not sticky: must not be used
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string top = mountTmpfs("mnt" + std::to_string(n++));
        if (top.empty()) GTEST_SKIP() << "needs root and tmpfs mounts to have a second mount";
        std::string setup = c.setup;
        if (setup != "none") {
            fs::create_directory(top + "/.Trash");
            chmod((top + "/.Trash").c_str(), setup == "sticky" ? 01777 : 0777);
        }
        writeFile(folder(top.substr(root.size() + 1) + "/sub dir") + "/ep.avi", c.setup);
        ASSERT_EQ(fileOperation(FO_DELETE, {top + "/sub dir/ep.avi"}, {}, 0x50), 0) << c.setup;
        std::string where = top + c.expectedTrash;
        EXPECT_EQ(readFile(where + "/files/ep.avi"), c.setup);
        EXPECT_EQ(infoPath(where + "/info/ep.avi.trashinfo"), "sub%20dir/ep.avi");  // relative
        EXPECT_FALSE(exists(trash + "/files/ep.avi"));
    }

    // When the top folder's trash cannot be made, the file stays where it is.
    std::string top = mountTmpfs("mnt-blocked");
    writeFile(top + "/.Trash-" + uid, "not a folder");
    writeFile(top + "/ep.avi", "stays");
    EXPECT_EQ(fileOperation(FO_DELETE, {top + "/ep.avi"}, {}, 0x50), ERROR_NOT_SUPPORTED);
    EXPECT_EQ(readFile(top + "/ep.avi"), "stays");
}

}  // namespace
