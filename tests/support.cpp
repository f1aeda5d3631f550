#include "support.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <dlfcn.h>
#include <fcntl.h>
#include <ftw.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const std::string &path, const std::string &content, int mode) {
    std::ofstream(path, std::ios::binary) << content;
    chmod(path.c_str(), static_cast<mode_t>(mode));
}

bool file_exists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

int file_mode(const std::string &path) {
    struct stat info {};
    stat(path.c_str(), &info);
    return static_cast<int>(info.st_mode & 07777);
}

std::pair<unsigned, unsigned> png_size(const std::string &path) {
    const std::string png = read_file(path);
    if (png.size() < 24 || png.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 ||
        png.compare(12, 4, "IHDR") != 0)
        return {0, 0};
    const auto big_endian = [&](std::size_t at) {
        unsigned value = 0;
        for (std::size_t i = at; i < at + 4; ++i)
            value = value << 8 | static_cast<unsigned char>(png[i]);
        return value;
    };
    return {big_endian(16), big_endian(20)};
}

int png_iend_count(const std::string &path) {
    const std::string png = read_file(path);
    int count = 0;
    for (auto at = png.find("IEND"); at != std::string::npos; at = png.find("IEND", at + 4))
        ++count;
    return count;
}

unsigned long Image::pixel(unsigned x, unsigned y) const {
    const unsigned char *at = &rgb[3 * (static_cast<std::size_t>(y) * width + x)];
    return static_cast<unsigned long>(at[0]) << 16 | static_cast<unsigned long>(at[1]) << 8 | at[2];
}

Image read_png(const std::string &path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return {};
    png.format = PNG_FORMAT_RGB;
    Image image{png.width, png.height, std::vector<unsigned char>(PNG_IMAGE_SIZE(png))};
    if (!png_image_finish_read(&png, nullptr, image.rgb.data(), 0, nullptr))
        return {};
    return image;
}

Difference compare(const Image &a, const Image &b) {
    if (a.width != b.width || a.height != b.height || a.rgb.empty())
        return {};
    std::size_t differing = 0;
    double total = 0;
    for (std::size_t i = 0; i < a.rgb.size(); i += 3) {
        int pixel = 0;
        for (std::size_t k = i; k < i + 3; ++k)
            pixel += std::abs(a.rgb[k] - b.rgb[k]);
        differing += pixel != 0;
        total += pixel;
    }
    const double pixels = static_cast<double>(a.rgb.size() / 3);
    return {static_cast<double>(differing) / pixels, total / 3 / pixels};
}

namespace {

// One line per name: '1' or '0' for close-on-exec, then the name.
int made_log() {
    static const int fd = [] {
        char name[] = "/tmp/chartlink_test_made_XXXXXX";
        const int made = ::mkstemp(name);
        unlink(name);
        fcntl(made, F_SETFD, FD_CLOEXEC);
        return made;
    }();
    return fd;
}

void note_made(const char *name, int fd) {
    if (std::string(name).rfind("/tmp/chartlink-", 0) != 0)
        return;
    const bool close_on_exec = fd == -1 || (fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
    const std::string line = (close_on_exec ? "1" : "0") + std::string(name) + "\n";
    if (write(made_log(), line.data(), line.size()) < 0)
        std::perror("made log");
}

} // namespace

std::vector<MadeFile> files_made() {
    std::string log(static_cast<std::size_t>(lseek(made_log(), 0, SEEK_END)), '\0');
    if (pread(made_log(), log.data(), log.size(), 0) < 0)
        std::perror("made log");
    std::vector<MadeFile> made;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        made.push_back({line.substr(1), line[0] == '1'});
    return made;
}

std::vector<std::string> left_behind(std::size_t mark) {
    std::vector<std::string> left;
    const auto made = files_made();
    for (std::size_t i = mark; i < made.size(); ++i) {
        if (file_exists(made[i].name))
            left.push_back(made[i].name);
    }
    return left;
}

TempDir::TempDir() {
    char name[] = "/tmp/chartlink_test_XXXXXX";
    if (mkdtemp(name) == nullptr)
        throw std::runtime_error("mkdtemp failed");
    path_ = name;
}

TempDir::~TempDir() {
    nftw(
        path_.c_str(),
        [](const char *path, const struct stat *, int, FTW *) { return std::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

ScopedEnv::ScopedEnv(const char *name, std::optional<std::string> value) : name_(name) {
    if (const char *old = std::getenv(name))
        saved_ = old;
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
    if (saved_)
        setenv(name_.c_str(), saved_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

ScopedCwd::ScopedCwd(const std::string &dir) {
    char old[4096];
    saved_ = getcwd(old, sizeof old);
    if (chdir(dir.c_str()) != 0)
        throw std::runtime_error("chdir failed: " + dir);
}

ScopedCwd::~ScopedCwd() {
    if (chdir(saved_.c_str()) != 0)
        std::perror("chdir back");
}

Capture::Capture(int fd) : fd_(fd) {
    std::fflush(nullptr);
    saved_ = dup(fd);
    const int file = open((dir_.path() + "/out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(file, fd);
    close(file);
}

Capture::~Capture() {
    stop();
}

void Capture::stop() {
    if (saved_ < 0)
        return;
    std::fflush(nullptr);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
}

std::string Capture::text() {
    stop();
    return read_file(dir_.path() + "/out");
}

static std::string make_dir(const std::string &path) {
    mkdir(path.c_str(), 0700);
    return path;
}

FakeGnuplot::FakeGnuplot(const char *mode)
    : log_(dir_.path() + "/log"), path_("PATH", make_dir(dir_.path() + "/bin") + ":/usr/bin:/bin"),
      log_env_("FAKE_GNUPLOT_LOG", log_), mode_("FAKE_GNUPLOT_MODE", std::string(mode)),
      display_("DISPLAY", std::string(":0")), cwd_(make_dir(dir_.path() + "/cwd")) {
    write_file(dir_.path() + "/bin/gnuplot", read_file(FAKE_GNUPLOT_SCRIPT), 0755);
}

Transcript run_session(const std::function<void(_GNUPLOT_CTRL_ *)> &use) {
    FakeGnuplot fake;
    Capture errors(2);
    _GNUPLOT_CTRL_ *handle = gnuplot_init();
    if (handle == nullptr)
        throw std::runtime_error("gnuplot_init failed on the fake gnuplot");
    use(handle);
    gnuplot_close(handle);
    return {fake.received(), errors.text()};
}

int run_in_child(const std::function<int()> &body) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        alarm(60); // a hang guard: a stuck child dies rather than stalling the suite
        _exit(body());
    }
    int status = -1;
    waitpid(child, &status, 0);
    return status;
}

std::chrono::milliseconds since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

const double values[] = {0.5, 2.0, -3.0, 1e-05, 1234567.0, 1733600000.5, std::nan("")};
const double other[] = {-0.25, 100000, 1.0 / 3, 7, 0, 1e300, -2};

std::string file_of(const _GNUPLOT_CTRL_ *handle, int slot) {
    return handle->temp_files[slot];
}

} // namespace test

// The library's data files and reply directories are made through these, so
// the tests learn every name this process made.
extern "C" int mkostemp(char *name, int flags) {
    using Real = int (*)(char *, int);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "mkostemp"));
    const int fd = real(name, flags);
    if (fd != -1)
        test::note_made(name, fd);
    return fd;
}

extern "C" char *mkdtemp(char *name) {
    using Real = char *(*)(char *);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "mkdtemp"));
    char *made = real(name);
    if (made != nullptr)
        test::note_made(name, -1);
    return made;
}
