// writeBmp: header layout and sizes, an independent decoder, and failures that must leave
// the disk as it was.
#include "bmp_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using tovrel::BitmapShape;
using tovrel::writeBmp;
using Bytes = std::vector<unsigned char>;

namespace {

BitmapShape shapeOf(int w, int h) {
    return {0, w, h, 3 * w, 1, 3, nullptr};
}

// Bytes that differ from row to row and in the padding, so that a shifted or dropped byte shows.
Bytes pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<unsigned char>(i * 131 + i / 251);
    return b;
}

Bytes readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.size());
}

std::uint32_t le(const Bytes& b, std::size_t at, int size) {
    std::uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = v << 8 | b.at(at + i);
    return v;
}

// Set the immutable flag, which holds even for root; false if this file system or user can't.
bool setImmutable(const fs::path& p, bool on) {
    const int fd = ::open(p.c_str(), O_RDONLY | O_NONBLOCK);
    int flags = 0;
    bool ok = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
    ok = ok && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    if (fd >= 0) ::close(fd);
    return ok;
}

int save(const fs::path& p, const BitmapShape& shape, const Bytes& pixels) {
    return writeBmp(p.u16string().c_str(), shape, pixels.data());
}

class BmpWriter : public testing::Test {
  protected:
    void SetUp() override {
        std::string t = (fs::temp_directory_path() / "bmp_writer_test.XXXXXX").string();
        ASSERT_NE(::mkdtemp(t.data()), nullptr);
        dir = t;
    }
    void TearDown() override { fs::remove_all(dir); }
    // Names in the folder, so that a leftover temporary is seen.
    std::set<std::string> names() const {
        std::set<std::string> s;
        for (const auto& e : fs::directory_iterator(dir))
            s.insert(e.path().filename().string());
        return s;
    }
    fs::path dir;
};

struct Size {
    int w, h;
    std::uint32_t stride, fileSize;
};

class BmpLayout : public BmpWriter, public testing::WithParamInterface<Size> {};

TEST_P(BmpLayout, HeadersAndPixelsAsInTheTable) {
    const Size s = GetParam();
    const Bytes pixels = pattern(std::size_t{s.stride} * s.h);
    const fs::path file = dir / "shot.bmp";
    ASSERT_EQ(save(file, shapeOf(s.w, s.h), pixels), 1);

    const Bytes b = readFile(file);
    ASSERT_EQ(b.size(), s.fileSize);
    // clang-format off
    const std::uint32_t fields[][3] = { // offset, size, value
        {0, 2, 0x4D42}, {2, 4, s.fileSize}, {6, 2, 0}, {8, 2, 0}, {10, 4, 54}, {14, 4, 40},
        {18, 4, std::uint32_t(s.w)}, {22, 4, std::uint32_t(s.h)}, {26, 2, 1}, {28, 2, 24},
        {30, 4, 0}, {34, 4, 0}, {38, 4, 0}, {42, 4, 0}, {46, 4, 0}, {50, 4, 0}};
    // clang-format on
    for (const auto& f : fields)
        EXPECT_EQ(le(b, f[0], int(f[1])), f[2]) << "offset " << f[0];
    EXPECT_TRUE(std::equal(pixels.begin(), pixels.end(), b.begin() + 54)); // padding included
    EXPECT_EQ(names(), std::set<std::string>{"shot.bmp"});
}

INSTANTIATE_TEST_SUITE_P(Sizes, BmpLayout,
                         testing::Values(Size{1920, 1080, 5760, 6220854},
                                         Size{1366, 768, 4100, 3148854}, Size{1, 1, 4, 58}));

TEST_F(BmpWriter, ImageMagickReadsTheSamePicture) {
    const int w = 1366, h = 768, stride = 4100;
    const Bytes pixels = pattern(std::size_t{stride} * h);
    const fs::path file = dir / "截图.bmp", rgb = dir / "decoded.rgb";
    ASSERT_EQ(save(file, shapeOf(w, h), pixels), 1);

    const std::string identify =
        "/usr/bin/identify -format '%w %h %z %[channels]' '" + file.string() + "'";
    FILE* out = ::popen(identify.c_str(), "r");
    ASSERT_NE(out, nullptr);
    char line[128] = {};
    const bool got = std::fgets(line, sizeof line, out) != nullptr;
    ::pclose(out);
    ASSERT_TRUE(got) << "no output from " << identify;
    EXPECT_STREQ(line, "1366 768 8 srgb"); // 3 channels of 8 bits: depth 24

    const std::string convert =
        "/usr/bin/convert '" + file.string() + "' -depth 8 'rgb:" + rgb.string() + "'";
    ASSERT_EQ(std::system(convert.c_str()), 0) << convert;
    Bytes expected; // top row first, red-green-blue, no padding
    for (int y = h - 1; y >= 0; --y)
        for (int x = 0; x < w; ++x)
            for (int c = 2; c >= 0; --c)
                expected.push_back(pixels[y * stride + x * 3 + c]);
    EXPECT_TRUE(readFile(rgb) == expected);
}

TEST_F(BmpWriter, SmallerPictureReplacesLargerFileWholly) {
    const fs::path file = dir / "shot.bmp";
    const Bytes big = pattern(5760 * 1080), one = {1, 2, 3, 4};
    ASSERT_EQ(save(file, shapeOf(1920, 1080), big), 1);
    ASSERT_EQ(save(file, shapeOf(1, 1), one), 1);
    const Bytes b = readFile(file);
    ASSERT_EQ(b.size(), 58u);
    EXPECT_EQ(le(b, 2, 4), 58u);
    EXPECT_EQ(Bytes(b.begin() + 54, b.end()), one);
    EXPECT_EQ(names(), std::set<std::string>{"shot.bmp"});
}

TEST_F(BmpWriter, ShapesThatCannotBeWrittenCreateNothing) {
    const Bytes pixels = pattern(64);
    const fs::path file = dir / "shot.bmp";
    const BitmapShape bad[] = {
        shapeOf(0, 10),
        shapeOf(10, 0),
        shapeOf(-1, 10),
        shapeOf(10, -1),
        shapeOf(30000, 50000),      // 4.5 GB
        shapeOf(65536, 65536),      // 12 GiB, 0 in 32-bit arithmetic
        shapeOf(1, 1073741811),     // 54 + S = 2^32 + 2
        {0, 1, 1, 3, 1, 0, nullptr} // no bytes per pixel
    };
    // Not even a temporary may appear and vanish again: watch the folder for creations.
    const int watch = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, dir.c_str(), IN_CREATE), 0);
    for (const BitmapShape& s : bad)
        EXPECT_EQ(save(file, s, pixels), 0)
            << s.bmWidth << "x" << s.bmHeight << "x" << s.bmBitsPixel;
    char event[4096];
    EXPECT_LT(::read(watch, event, sizeof event), 0) << "a file was created";
    ::close(watch);
    EXPECT_TRUE(names().empty());
}

TEST_F(BmpWriter, MissingFolderOrFolderAsPathFailsAndLeavesNothing) {
    const Bytes pixels = pattern(4);
    EXPECT_EQ(save(dir / "missing" / "a.bmp", shapeOf(1, 1), pixels), 0);
    fs::create_directory(dir / "sub");
    EXPECT_EQ(save(dir / "sub", shapeOf(1, 1), pixels), 0);
    EXPECT_EQ(names(), std::set<std::string>{"sub"});
    EXPECT_TRUE(fs::is_empty(dir / "sub"));
}

TEST_F(BmpWriter, ReadOnlyTargetStaysUnchanged) {
    const fs::path file = dir / "shot.bmp";
    const Bytes old = pattern(1000), pixels = pattern(4);
    writeFile(file, old);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // Permission bits do not stop root; the immutable flag does.
    const bool immutable = setImmutable(file, true);
    if (!immutable && ::geteuid() == 0)
        GTEST_SKIP() << "running as root and the immutable flag is refused here, so no file "
                        "can be made read-only";
    const int result = save(file, shapeOf(1, 1), pixels);
    if (immutable) setImmutable(file, false);
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(readFile(file) == old);
    EXPECT_EQ(names(), std::set<std::string>{"shot.bmp"});
}

TEST_F(BmpWriter, DiskFullDuringPixelWriteKeepsEarlierFile) {
    const fs::path file = dir / "shot.bmp";
    const Bytes old = pattern(1000), pixels = pattern(5760 * 1080);
    writeFile(file, old);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) { // the file size limit stops the 6 MB pixel write after 1 MB
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1 << 20, 1 << 20};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(save(file, shapeOf(1920, 1080), pixels) + 10);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 10) << "writeBmp should return 0";
    EXPECT_TRUE(readFile(file) == old);
    EXPECT_EQ(names(), std::set<std::string>{"shot.bmp"});
}

} // namespace
