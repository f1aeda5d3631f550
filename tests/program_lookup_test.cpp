#include <string>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support.h"

namespace {

struct Layout {
    test::TempDir root;
    std::string here = make("here");
    std::string a = make("a");
    std::string b = make("b");
    test::ScopedCwd cwd{here};

    std::string make(const char *name) {
        const std::string dir = root.path() + "/" + name;
        mkdir(dir.c_str(), 0700);
        return dir;
    }
};

} // namespace

TEST(ProgramLookup, TriesTheCurrentDirectoryThenEachPathEntryInOrder) {
    Layout dirs;
    test::write_file(dirs.a + "/plain", "", 0644); // not executable: passed over
    test::write_file(dirs.b + "/plain", "", 0755);
    test::write_file(dirs.b + "/prog", "", 0755);
    test::write_file(dirs.here + "/local", "", 0755);
    const std::string too_long(5000, 'a');
    const struct {
        std::optional<std::string> path;
        std::string name;
        std::optional<std::string> found;
        const char *message;
    } cases[] = {
        {std::nullopt, "local", ".", ""},
        {dirs.a + ":" + dirs.b, "prog", dirs.b, ""},
        {dirs.a + ":" + dirs.b, "plain", dirs.b, ""},
        {":" + dirs.b, "prog", dirs.b, ""},
        {dirs.b + "/", "prog", dirs.b + "/", ""},
        {"/" + too_long + ":" + dirs.b, "prog", dirs.b, ""},
        {dirs.a + ":", "prog", std::nullopt, ""},
        {"", "prog", std::nullopt, ""},
        {dirs.b, too_long, std::nullopt, ""},
        {std::nullopt, "prog", std::nullopt, "PATH variable not set\n"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.value_or("(unset)").substr(0, 80) + " " + c.name.substr(0, 20));
        test::ScopedEnv path("PATH", c.path);
        test::Capture errors(2);
        const char *result = gnuplot_get_program_path(c.name.c_str());
        EXPECT_EQ(errors.text(), c.message);
        if (c.found)
            EXPECT_STREQ(result, c.found->c_str());
        else
            EXPECT_EQ(result, nullptr);
    }
}
