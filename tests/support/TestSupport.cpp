#include "TestSupport.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tabulonix::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tabulonix-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = std::string(buffer.data()) + "/";
}

TempDir::~TempDir()
{
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text)
{
    WriteBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path)
{
    auto bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool InCi()
{
    const char* ci = std::getenv("CI");
    return ci && (std::string(ci) == "true" || std::string(ci) == "1");
}

bool HaveTool(const std::string& command)
{
    static std::map<std::string, bool> known;
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    auto it = known.find(command);
    if (it == known.end())
        it = known.emplace(command, RunCommand("command -v " + ShellQuote(command)).exitCode == 0)
                 .first;
    return it->second;
}

bool HavePillow()
{
    static const bool have = RunCommand("/usr/bin/python3 -c 'import PIL.Image'").exitCode == 0;
    return have;
}

void RequireTool(const std::string& command, const std::string& package)
{
    if (!HaveTool(command))
        throw std::runtime_error("the reference tool " + command + " is missing (" + package +
                                 "; bootstrap.sh installs it)");
}

std::string CorpusDir()
{
    std::string dir;
    if (const char* env = std::getenv("TABULONIX_CORPUS"); env && *env)
        dir = env;
#ifdef TABULONIX_CORPUS_DEFAULT
    else
        dir = TABULONIX_CORPUS_DEFAULT;
#endif
    if (!dir.empty() && fs::is_directory(dir))
        return dir.back() == '/' ? dir : dir + "/";
    if (InCi())
        throw std::runtime_error("the test corpus is missing: " +
                                 (dir.empty() ? "no folder set" : dir));
    return {};
}

std::vector<std::string> CorpusFiles(const std::string& folder,
                                     const std::vector<std::string>& extensions)
{
    std::vector<std::string> names;
    std::string dir = CorpusDir();
    if (dir.empty() || !fs::is_directory(dir + folder)) {
        if (InCi())
            throw std::runtime_error("corpus folder missing: " + dir + folder);
        return names;
    }
    for (const auto& entry : fs::directory_iterator(dir + folder)) {
        if (!entry.is_regular_file())
            continue;
        std::string name = entry.path().filename().string();
        std::string ext = entry.path().extension().string();
        if (!ext.empty())
            ext = ext.substr(1);
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return std::tolower(c); });
        if (extensions.empty() ||
            std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string BinDir()
{
#ifdef TABULONIX_BIN_DIR
    return std::string(TABULONIX_BIN_DIR) + "/";
#else
    return "./";
#endif
}

std::string ShellQuote(const std::string& text)
{
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CommandResult RunCommand(const std::string& commandLine)
{
    TempDir dir;
    std::string outPath = dir.File("out"), errPath = dir.File("err");
    std::string full = "( " + commandLine + " ) >" + ShellQuote(outPath) + " 2>" +
                       ShellQuote(errPath) + " </dev/null";
    int status = std::system(full.c_str());
    CommandResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = ReadText(outPath);
    result.err = ReadText(errPath);
    return result;
}

static const char* kPillowRgba =
    "import sys\n"
    "from PIL import Image\n"
    "im = Image.open(sys.argv[1])\n"
    "im.seek(int(sys.argv[2]))\n"
    "mode = im.mode\n"
    "rgba = im.convert('RGBA')\n"
    "sys.stdout.buffer.write(b'%d %d %s\\n' % (rgba.size[0], rgba.size[1], mode.encode()))\n"
    "sys.stdout.buffer.write(rgba.tobytes())\n";

static const char* kPillowIndexed =
    "import sys\n"
    "from PIL import Image\n"
    "im = Image.open(sys.argv[1])\n"
    "if im.mode != 'P': sys.exit(3)\n"
    "pal = im.getpalette() or []\n"
    "sys.stdout.buffer.write(b'%d %d %d\\n' % (im.size[0], im.size[1], len(pal)))\n"
    "sys.stdout.buffer.write(bytes(pal))\n"
    "sys.stdout.buffer.write(im.tobytes())\n";

static std::optional<std::string> RunPython(const char* script,
                                            const std::vector<std::string>& args)
{
    if (!HavePillow())
        throw std::runtime_error(
            "the reference decoder python3-pil is missing (bootstrap.sh installs it)");
    TempDir dir;
    WriteText(dir.File("ref.py"), script);
    std::string cmd = "/usr/bin/python3 " + ShellQuote(dir.File("ref.py"));
    for (const auto& a : args)
        cmd += " " + ShellQuote(a);
    CommandResult r = RunCommand(cmd);
    if (r.exitCode != 0)
        return std::nullopt;
    return r.out;
}

std::optional<ReferenceImage> DecodeWithPillow(const std::string& path, int frame)
{
    auto out = RunPython(kPillowRgba, {path, std::to_string(frame)});
    if (!out)
        return std::nullopt;
    size_t nl = out->find('\n');
    if (nl == std::string::npos)
        return std::nullopt;
    std::istringstream header(out->substr(0, nl));
    ReferenceImage image;
    header >> image.width >> image.height >> image.mode;
    image.rgba.assign(out->begin() + static_cast<long>(nl) + 1, out->end());
    if (image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4)
        return std::nullopt;
    return image;
}

std::optional<ReferenceIndexed> DecodeIndexedWithPillow(const std::string& path)
{
    auto out = RunPython(kPillowIndexed, {path});
    if (!out)
        return std::nullopt;
    size_t nl = out->find('\n');
    if (nl == std::string::npos)
        return std::nullopt;
    std::istringstream header(out->substr(0, nl));
    ReferenceIndexed image;
    size_t paletteBytes = 0;
    header >> image.width >> image.height >> paletteBytes;
    size_t at = nl + 1;
    if (out->size() < at + paletteBytes)
        return std::nullopt;
    image.paletteRgb.assign(out->begin() + static_cast<long>(at),
                            out->begin() + static_cast<long>(at + paletteBytes));
    image.indices.assign(out->begin() + static_cast<long>(at + paletteBytes), out->end());
    if (image.indices.size() != static_cast<size_t>(image.width) * image.height)
        return std::nullopt;
    return image;
}

std::vector<std::vector<uint8_t>> MutatedCopies(const std::vector<uint8_t>& data, int count,
                                                uint32_t seed)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<uint8_t>> copies;
    if (data.empty())
        return copies;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> m = data;
        switch (i % 4) {
        case 0: { // a few bit flips
            int flips = 1 + static_cast<int>(rng() % 4);
            for (int f = 0; f < flips; ++f)
                m[rng() % m.size()] ^= static_cast<uint8_t>(1u << (rng() % 8));
            break;
        }
        case 1: // a byte set to an extreme value
            m[rng() % m.size()] = (rng() & 1) ? 0xFF : 0x00;
            break;
        case 2: // truncated
            m.resize(rng() % m.size());
            break;
        default: { // a run of random bytes in the header area
            size_t at = rng() % std::min<size_t>(m.size(), 64);
            for (size_t k = at; k < std::min(m.size(), at + 4); ++k)
                m[k] = static_cast<uint8_t>(rng());
            break;
        }
        }
        copies.push_back(std::move(m));
    }
    return copies;
}

} // namespace tabulonix::test
