// The names Ctrl+S gives: the time's pattern, and the numbers after names taken.
#include "picture_name.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace tovrel {
namespace {

const std::u16string kName = u"D:\\Tovrel 2026-12-08 093502";

std::u16string numbered(int n) {
    const std::string number = n > 1 ? " (" + std::to_string(n) + ")" : "";
    return kName + std::u16string(number.begin(), number.end()) + u".png";
}

// A folder as place sees it: names taken (or every name), and one whose placing fails.
struct Folder {
    std::set<std::u16string> taken = {};
    std::u16string failing = u"";
    bool full = false;
    static Placing place(void* folder, const char16_t* name) {
        const Folder& f = *static_cast<Folder*>(folder);
        if (name == f.failing) return Placing::Failed;
        return f.full || f.taken.count(name) ? Placing::Taken : Placing::Placed;
    }
};

TEST(PictureName, TheTimeThenTheFirstNumberNotTaken) {
    const PictureTime time = {2026, 12, 8, 9, 35, 2};
    std::set<std::u16string> elevenTaken;
    for (int n = 1; n <= 11; ++n)
        elevenTaken.insert(numbered(n));
    struct Row {
        const char* what;
        Folder folder;
        std::u16string want; // empty: no name
        PictureTime time = {2026, 12, 8, 9, 35, 2};
        std::size_t capacity = 256;
    };
    const Row rows[] = {
        {"free", {}, numbered(1)},
        {"early year, late day", {}, u"D:\\Tovrel 0987-01-31 235959.png", {987, 1, 31, 23, 59, 59}},
        {"taken", {{numbered(1)}}, numbered(2)},
        {"two taken", {{numbered(1), numbered(2)}}, numbered(3)},
        {"only a later number taken", {{numbered(2)}}, numbered(1)},
        {"past nine", {elevenTaken}, numbered(12)},
        {"failing", {{numbered(1)}, numbered(2)}, u""},
        {"every name taken", {{}, u"", true}, u""},
        {"too long", {}, u"", time, numbered(1).size()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Folder folder = row.folder;
        char16_t out[256] = {};
        const bool placed =
            placeUnderFreeName(u"D:\\", row.time, Folder::place, &folder, out, row.capacity);
        EXPECT_EQ(placed, !row.want.empty());
        EXPECT_EQ(placed ? std::u16string(out) : u"", row.want);
    }
}

} // namespace
} // namespace tovrel
