#include <corvane/sys.hpp>
#include "tests/sys/sys_test_util.hpp"

#include <chrono>

namespace crv {
namespace {

using test::TempDir;
using test::write_file;

TEST(WildcardMatch, Rules) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {
        {"*.png", "Font.PNG", true},   {"?.txt", "a.txt", true},     {"a?txt", "a.txt", false},
        {"*", "", true},               {"*.*", "readme", true},      {"*.*", "", true},
        {"", "", true},                {"", "a", false},             {"a", "", false},
        {"a**b", "aXYb", true},        {"*b", "abcb", true},         {"*b*c", "abxbyc", true},
        {"a*c", "abcd", false},        {"readme", "README", true},   {"r?adme", "r.adme", false},
        {"*.txt", "notes.txt.bak", false}, {"*.t?t", "x.tmt", true}, {"x*", "y", false},
        {"\xe9*", "\xe9t\xe9", true},  {"\xc9*", "\xe9t\xe9", false},  // only A-Z and a-z fold
        {"a*", "a", true},             {"**", "anything", true},     {"?", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(wildcard_match(c.pattern, c.name), c.match) << c.pattern << " vs " << c.name;
}

TEST(WildcardMatch, HostilePatternsStayBounded) {
    std::string pattern, name(4000, 'a');
    for (int i = 0; i < 2000; ++i) pattern += "*a";
    pattern += "b";
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(wildcard_match(pattern.c_str(), name.c_str()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(DirList, FoldersFirstThenMatchingFilesSortedIgnoringCase) {
    TempDir tmp;
    test::make_folder(tmp.file("sub"));
    write_file(tmp.file("b.txt"), "");
    write_file(tmp.file("A.TXT"), "");
    write_file(tmp.file("c.png"), "");
    test::ScopedCurrentDir here(tmp.path());
    DynArray<DynString> names;
    EXPECT_EQ(dir_list("*.txt", names), 3 * 65536 + 2);
    ASSERT_EQ(names.size1(), 5);
    const char* expected[] = {".", "..", "sub", "A.TXT", "b.txt"};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(names(i), expected[i]);
    EXPECT_EQ(dir_list("*.zip", names), 3 * 65536);
    EXPECT_EQ(names.size1(), 3);
}

TEST(DirList, OddNamesAreListedAsTheyAre) {
    TempDir tmp;
    const std::string odd[] = {"\x01\x02.txt", "star*.txt", "que?.txt", std::string(250, 'L') + ".txt", " .txt"};
    for (const std::string& n : odd) write_file(tmp.file(n), "");
    test::ScopedCurrentDir here(tmp.path());
    DynArray<DynString> names;
    EXPECT_EQ(dir_list("*.txt", names), 2 * 65536 + 5);
    EXPECT_EQ(dir_list("star*.txt", names), 2 * 65536 + 1);
    EXPECT_EQ(names(2), "star*.txt");
}

TEST(FileSystem, ExistenceDeleteCreateAndChangeFolders) {
    TempDir tmp;
    write_file(tmp.file("File.txt"), "12345");
    std::string base = tmp.path();
    EXPECT_TRUE(file_exists((base + "/File.txt").c_str()));
    EXPECT_TRUE(file_exists((base + "\\FILE.TXT").c_str()));  // separators and case from Windows games
    EXPECT_FALSE(dir_exists((base + "/File.txt").c_str()));
    EXPECT_TRUE(dir_exists(base.c_str()));
    EXPECT_FALSE(file_exists(base.c_str()));
    EXPECT_FALSE(file_exists((base + "/missing").c_str()));
    EXPECT_TRUE(dir_create((base + "/Sub").c_str()));
    EXPECT_FALSE(dir_create((base + "/Sub").c_str()));
    EXPECT_FALSE(dir_create((base + "/a/b").c_str()));  // one level only
    write_file(tmp.file("Sub/inner.txt"), "x");
    EXPECT_TRUE(file_exists((base + "/sub/INNER.txt").c_str()));
    EXPECT_EQ(file_size((base + "/File.txt").c_str()), 5);

    {
        test::ScopedCurrentDir here(base);
        DynString current = dir_current();
        EXPECT_EQ(current.text()[current.length() - 1], '/');
        EXPECT_EQ(dir_change("SUB"), 1);
        EXPECT_TRUE(file_exists("inner.txt"));
        set_error(0);
        EXPECT_EQ(dir_change("nowhere"), 0);
        EXPECT_EQ(last_error_code(), 3);
        EXPECT_EQ(dir_change("/"), 1);
#ifdef _WIN32
        EXPECT_EQ(std::string(dir_current().text()).substr(1), ":/");  // the root of the drive
#else
        EXPECT_EQ(dir_current(), "/");
#endif
    }
    EXPECT_TRUE(file_delete((base + "/file.TXT").c_str()));
    EXPECT_FALSE(file_delete((base + "/File.txt").c_str()));
    EXPECT_FALSE(file_delete((base + "/Sub").c_str()));
}

TEST(FileSystem, SizesAndCopies) {
    TempDir tmp;
    std::string big(10000, 'q');
    big[4096] = 'X';
    write_file(tmp.file("big.bin"), big);
    std::string mem = memory_name(big.data(), 300);
    EXPECT_EQ(file_size(mem.c_str()), 300);
    set_error(0);
    EXPECT_EQ(file_size(tmp.file("missing").c_str()), 0);
    EXPECT_EQ(last_error_code(), 3);

    EXPECT_TRUE(file_copy(tmp.file("big.bin").c_str(), tmp.file("copy.bin").c_str()));
    EXPECT_EQ(test::read_file(tmp.file("copy.bin")), big);
    EXPECT_TRUE(file_copy(mem.c_str(), tmp.file("copy.bin").c_str()));
    EXPECT_EQ(test::read_file(tmp.file("copy.bin")), big.substr(0, 300));
    write_file(tmp.file("empty"), "");
    EXPECT_TRUE(file_copy(tmp.file("empty").c_str(), tmp.file("copy.bin").c_str()));
    EXPECT_EQ(test::read_file(tmp.file("copy.bin")), "");

    struct Refused {
        const char* what;
        std::string source, target;
    };
    const Refused refused[] = {
        {"missing source", tmp.file("missing"), tmp.file("t1")},
        {"memory target", tmp.file("big.bin"), mem},
        {"target folder missing", tmp.file("big.bin"), tmp.file("no/t2")},
    };
    for (const Refused& r : refused) {
        set_error(0);
        EXPECT_FALSE(file_copy(r.source.c_str(), r.target.c_str())) << r.what;
        EXPECT_EQ(last_error_code(), 3) << r.what;
    }
    EXPECT_FALSE(test::exists(tmp.file("t1")));
}

}  // namespace
}  // namespace crv
