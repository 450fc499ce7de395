#include "pdfunpack/tests/test_support.h"

#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "pdfunpack/extractor.h"

namespace sw::pdfunpack::testing {

std::string Deflate(std::string_view text, int level) {
    uLongf size = compressBound(static_cast<uLong>(text.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
                  static_cast<uLong>(text.size()), level) != Z_OK) {
        throw std::runtime_error("compress2 failed");
    }
    out.resize(size);
    return out;
}

std::string ZeroBomb(std::size_t total) {
    const std::size_t block = 1 << 20;
    z_stream zs{};
    deflateInit(&zs, 9);
    std::string zeros(block, '\0');
    std::string head(block, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(zeros.data());
    zs.avail_in = static_cast<uInt>(block);
    zs.next_out = reinterpret_cast<Bytef*>(head.data());
    zs.avail_out = static_cast<uInt>(head.size());
    deflate(&zs, Z_FULL_FLUSH);
    head.resize(head.size() - zs.avail_out);
    // Later identical blocks compress identically after a full flush.
    std::string next(block, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(zeros.data());
    zs.avail_in = static_cast<uInt>(block);
    zs.next_out = reinterpret_cast<Bytef*>(next.data());
    zs.avail_out = static_cast<uInt>(next.size());
    deflate(&zs, Z_FULL_FLUSH);
    next.resize(next.size() - zs.avail_out);
    deflateEnd(&zs);
    std::string out = head;
    for (std::size_t made = block; made < total; made += block) {
        out += next;
    }
    return out;
}

std::string MakePdf(const std::vector<std::string>& streamBodies) {
    std::string pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<< /Type /Catalog >>\nendobj\n";
    int object = 2;
    for (const std::string& body : streamBodies) {
        pdf += std::to_string(object++) + " 0 obj\n<< /Length " + std::to_string(body.size()) +
               " /Filter /FlateDecode >>\nstream\n";
        pdf += body;
        pdf += "\nendstream\nendobj\n";
    }
    pdf += "trailer\n<< /Root 1 0 R >>\n%%EOF\n";
    return pdf;
}

std::string MakeDeflatedPdf(const std::vector<std::string>& pageTexts) {
    std::vector<std::string> bodies;
    for (const std::string& text : pageTexts) {
        bodies.push_back(Deflate(text));
    }
    return MakePdf(bodies);
}

std::string ExtractText(std::string_view pdf) {
    std::string out;
    Extractor extractor;
    extractor.Run(std::span(reinterpret_cast<const std::uint8_t*>(pdf.data()), pdf.size()),
                  [&out](std::string_view text) {
                      out.append(text);
                      return true;
                  });
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pdfunpack-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
}

namespace {

std::string ShellQuote(std::string_view s) {
    std::string q = "'";
    for (const char c : s) {
        if (c == '\'') {
            q += "'\\''";
        } else {
            q += c;
        }
    }
    return q + "'";
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& args, const TempDir& scratch) {
    const std::filesystem::path program = std::filesystem::path(SW_BINARY_DIR) / "bin" / "PdfUnpack";
    const auto outPath = scratch / "program.stdout";
    const auto errPath = scratch / "program.stderr";
    std::string command = ShellQuote(program.string());
    for (const std::string& a : args) {
        command += " " + ShellQuote(a);
    }
    command += " >" + ShellQuote(outPath.string()) + " 2>" + ShellQuote(errPath.string());
    const int raw = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 1000;
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

}  // namespace sw::pdfunpack::testing
