// Builders for small PDFs and helpers to run the program in tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sw::pdfunpack::testing {

// zlib-compressed bytes of `text`.
std::string Deflate(std::string_view text, int level = 6);

// Deflate data of `total` zero bytes, built from one repeated block so that a
// gigabyte costs about a megabyte; its checksum does not match, which a
// reader stopped by a limit never reaches.
std::string ZeroBomb(std::size_t total);

// A minimal PDF whose objects hold the given stream bodies exactly as given
// (already compressed or not), each between "stream\n" and "\nendstream".
std::string MakePdf(const std::vector<std::string>& streamBodies);

// A PDF with each text deflated.
std::string MakeDeflatedPdf(const std::vector<std::string>& pageTexts);

// Text the extractor writes for a PDF held in memory.
std::string ExtractText(std::string_view pdf);

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::string_view bytes);

// A fresh folder under the system temp folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

struct ProgramRun {
    int status = 0;  // exit status, 0..255
    std::string out;
    std::string err;
};

// Runs build/bin/PdfUnpack with the arguments; stdout and stderr captured.
ProgramRun RunProgram(const std::vector<std::string>& args, const TempDir& scratch);

}  // namespace sw::pdfunpack::testing
