#include "driver/pdf/PdfPageReader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <memory>
#include <new>

#include "driver/pdf/FontRepair.h"
#include "platform/base/TextCodec.h"

#if defined(__SANITIZE_ADDRESS__)
#define SW_NO_MEMORY_LIMIT 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SW_NO_MEMORY_LIMIT 1
#endif
#endif

namespace sw::driver {

namespace {

constexpr std::size_t kMaxFrame = std::size_t{256} << 20;
constexpr std::size_t kMaxWordsPerPage = 500000;

// ---- Frames between the child and the job: a tag, a length, the bytes ------------

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}
void PutDouble(std::string& out, double v) {
    char bytes[sizeof v];
    std::memcpy(bytes, &v, sizeof v);
    out.append(bytes, sizeof v);
}
void PutText(std::string& out, const std::string& text) {
    PutU32(out, static_cast<std::uint32_t>(text.size()));
    out += text;
}

class Cursor {
public:
    explicit Cursor(const std::string& data) : data_(data) {}
    bool U32(std::uint32_t& v) {
        if (data_.size() - pos_ < 4) {
            return false;
        }
        v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= static_cast<std::uint32_t>(static_cast<unsigned char>(data_[pos_++])) << (8 * i);
        }
        return true;
    }
    bool Double(double& v) {
        if (data_.size() - pos_ < sizeof v) {
            return false;
        }
        std::memcpy(&v, data_.data() + pos_, sizeof v);
        pos_ += sizeof v;
        return true;
    }
    bool Text(std::string& text) {
        std::uint32_t n = 0;
        if (!U32(n) || data_.size() - pos_ < n) {
            return false;
        }
        text.assign(data_, pos_, n);
        pos_ += n;
        return true;
    }

private:
    const std::string& data_;
    std::size_t pos_ = 0;
};

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool SendFrame(int fd, char tag, const std::string& payload) {
    std::string frame(1, tag);
    PutU32(frame, static_cast<std::uint32_t>(payload.size()));
    return WriteAll(fd, frame + payload);
}

std::string EncodePage(const PageWords& page) {
    std::string out;
    PutDouble(out, page.width);
    PutDouble(out, page.height);
    PutU32(out, static_cast<std::uint32_t>(page.words.size()));
    for (const Word& w : page.words) {
        PutDouble(out, w.x0);
        PutDouble(out, w.y0);
        PutDouble(out, w.x1);
        PutDouble(out, w.y1);
        PutDouble(out, w.fontSize);
        PutText(out, w.font);
        PutText(out, w.text);
    }
    return out;
}

bool DecodePage(const std::string& payload, PageWords& page) {
    Cursor in(payload);
    std::uint32_t count = 0;
    if (!in.Double(page.width) || !in.Double(page.height) || !in.U32(count) || count > kMaxWordsPerPage) {
        return false;
    }
    page.words.clear();
    page.words.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        Word w;
        if (!in.Double(w.x0) || !in.Double(w.y0) || !in.Double(w.x1) || !in.Double(w.y1) ||
            !in.Double(w.fontSize) || !in.Text(w.font) || !in.Text(w.text)) {
            return false;
        }
        page.words.push_back(std::move(w));
    }
    return true;
}

// ---- Words from poppler ----------------------------------------------------------

bool IsBlank(char32_t c) {
    return c <= 0x20 || c == 0xA0 || c == 0x3000 || (c >= 0x2000 && c <= 0x200B) || c == 0x7F;
}

// Page coordinates turned so that the text of rotation `r` reads left to right.
poppler::rectf Turn(const poppler::rectf& r, int rotation, double width, double height) {
    double x0 = r.left();
    double y0 = r.top();
    double x1 = r.right();
    double y1 = r.bottom();
    switch (rotation) {
        case 1:  // top to bottom
            return {y0, width - x1, y1 - y0, x1 - x0};
        case 2:  // upside down
            return {width - x1, height - y1, x1 - x0, y1 - y0};
        case 3:  // bottom to top
            return {height - y1, x0, y1 - y0, x1 - x0};
        default:
            return r;
    }
}

// `margin`: how far the page's box was widened on each side.
void WordsOfPage(poppler::page& page, double margin, PageWords& out) {
    // Text positions come in the page as displayed, after its own rotation.
    const poppler::rectf box = page.page_rect();
    const bool turnedPage =
        page.orientation() == poppler::page::landscape || page.orientation() == poppler::page::seascape;
    const double shownWidth = turnedPage ? box.height() : box.width();
    const double shownHeight = turnedPage ? box.width() : box.height();
    std::vector<poppler::text_box> boxes = page.text_list(poppler::page::text_list_include_font);
    // Most text of a turned page reads one way; that way is the page's.
    std::array<std::size_t, 4> byRotation{};
    for (const auto& tb : boxes) {
        ++byRotation[static_cast<std::size_t>(tb.rotation() & 3)];
    }
    const int rotation =
        static_cast<int>(std::max_element(byRotation.begin(), byRotation.end()) - byRotation.begin());
    const bool sideways = rotation == 1 || rotation == 3;
    out.width = (sideways ? shownHeight : shownWidth) - 2 * margin;
    out.height = (sideways ? shownWidth : shownHeight) - 2 * margin;

    for (const auto& tb : boxes) {
        if ((tb.rotation() & 3) != rotation || out.words.size() >= kMaxWordsPerPage) {
            continue;
        }
        const poppler::ustring text = tb.text();
        const std::string font = tb.has_font_info() ? tb.get_font_name(0) : std::string();
        const double size = tb.has_font_info() ? tb.get_font_size() : 0.0;

        Word word;
        bool open = false;
        auto finish = [&] {
            if (open && !word.text.empty()) {
                out.words.push_back(word);
            }
            open = false;
            word = Word{};
        };
        for (std::size_t i = 0; i < text.size(); ++i) {
            char32_t c = text[i];
            std::size_t units = 1;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
                units = 2;
            }
            poppler::rectf glyph = tb.char_bbox(i);
            if (glyph.width() <= 0 && glyph.height() <= 0) {
                glyph = tb.bbox();
            }
            i += units - 1;
            if (IsBlank(c)) {
                finish();
                continue;
            }
            poppler::rectf g = Turn(glyph, rotation, shownWidth, shownHeight);
            g = {g.x() - margin, g.y() - margin, g.width(), g.height()};
            if (!open) {
                word.x0 = g.left();
                word.y0 = g.top();
                word.x1 = g.right();
                word.y1 = g.bottom();
                word.fontSize = size;
                word.font = font;
                open = true;
            } else {
                word.x0 = std::min(word.x0, g.left());
                word.y0 = std::min(word.y0, g.top());
                word.x1 = std::max(word.x1, g.right());
                word.y1 = std::max(word.y1, g.bottom());
            }
            sw::base::AppendUtf8(word.text, c);
        }
        finish();
    }
}

void QuietPoppler(const std::string& /*message*/, void* /*closure*/) {}

// Poppler reads from the caller's bytes, so `prepared` must outlive the
// document. `margin` receives how far the pages were widened.
std::unique_ptr<poppler::document> LoadDocument(const char* data, std::size_t size, std::string& prepared,
                                                double* margin, std::string* error) {
    poppler::set_debug_error_function(QuietPoppler, nullptr);
    *margin = 0;
    if (PrepareForText(data, size, prepared)) {
        data = prepared.data();
        size = prepared.size();
        *margin = kPageMargin;
    }
    if (size > static_cast<std::size_t>(INT_MAX)) {
        *error = "the PDF is larger than 2 GB";
        return nullptr;
    }
    std::unique_ptr<poppler::document> doc(
        poppler::document::load_from_raw_data(data, static_cast<int>(size)));
    if (!doc) {
        *error = "the job is not a readable PDF";
        return nullptr;
    }
    if (doc->is_locked() && !doc->unlock("", "")) {
        *error = "the PDF is protected by a password";
        return nullptr;
    }
    return doc;
}

[[noreturn]] void RunChild(int input, int output) {
    int code = 0;
    try {
        struct stat st {};
        if (::fstat(input, &st) != 0 || st.st_size <= 0) {
            SendFrame(output, 'E', "the job is empty");
            ::_exit(0);
        }
        const auto size = static_cast<std::size_t>(st.st_size);
        void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, input, 0);
        if (map == MAP_FAILED) {
            SendFrame(output, 'E', std::string("cannot map the job: ") + std::strerror(errno));
            ::_exit(0);
        }
        const char* data = static_cast<const char*>(map);
        std::string error;
        std::string prepared;
        double margin = 0;
        std::unique_ptr<poppler::document> doc = LoadDocument(data, size, prepared, &margin, &error);
        if (!doc) {
            SendFrame(output, 'E', error);
            ::_exit(0);
        }
        std::string count;
        PutU32(count, static_cast<std::uint32_t>(std::max(0, doc->pages())));
        SendFrame(output, 'D', count);
        for (int i = 0; i < doc->pages(); ++i) {
            PageWords words;
            std::unique_ptr<poppler::page> page(doc->create_page(i));
            if (page) {
                WordsOfPage(*page, margin, words);
            }
            if (!SendFrame(output, 'P', EncodePage(words))) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        SendFrame(output, 'E', "reading the PDF needed more memory than the driver allows");
        code = 3;
    } catch (const std::exception& e) {
        SendFrame(output, 'E', std::string("the PDF could not be read: ") + e.what());
        code = 2;
    }
    ::_exit(code);
}

}  // namespace

bool ExtractWords(const char* data, std::size_t size, std::vector<PageWords>& pages, std::string* error) {
    std::string prepared;
    double margin = 0;
    std::unique_ptr<poppler::document> doc = LoadDocument(data, size, prepared, &margin, error);
    if (!doc) {
        return false;
    }
    for (int i = 0; i < doc->pages(); ++i) {
        PageWords words;
        std::unique_ptr<poppler::page> page(doc->create_page(i));
        if (page) {
            WordsOfPage(*page, margin, words);
        }
        pages.push_back(std::move(words));
    }
    return true;
}

PdfPageReader::~PdfPageReader() {
    Stop();
}

void PdfPageReader::Stop() {
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        ::waitpid(child_, nullptr, 0);
        child_ = -1;
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string PdfPageReader::EndReason() {
    int status = 0;
    if (child_ > 0 && ::waitpid(child_, &status, 0) == child_) {
        child_ = -1;
        if (WIFSIGNALED(status)) {
            return std::string("the PDF reader failed (") + strsignal(WTERMSIG(status)) +
                   "); it may have needed more than the " + std::to_string(memoryBytes_ >> 20) +
                   " MB of memory the printer allows";
        }
    }
    return "the PDF reader ended early";
}

bool PdfPageReader::Open(int fd, const ReadLimits& limits, std::string* error) {
    memoryBytes_ = limits.memoryBytes;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        *error = std::string("cannot start the PDF reader: ") + std::strerror(errno);
        return false;
    }
    child_ = ::fork();
    if (child_ < 0) {
        *error = std::string("cannot start the PDF reader: ") + std::strerror(errno);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return false;
    }
    if (child_ == 0) {
        ::close(pipeFds[0]);
#ifndef SW_NO_MEMORY_LIMIT
        const rlimit memory{limits.memoryBytes, limits.memoryBytes};
        ::setrlimit(RLIMIT_AS, &memory);
#endif
        const rlimit noCore{0, 0};
        ::setrlimit(RLIMIT_CORE, &noCore);
        RunChild(fd, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    fd_ = pipeFds[0];
    char tag = 0;
    std::string payload;
    if (!ReadFrame(&tag, payload, limits.openSeconds, error)) {
        Stop();
        return false;
    }
    if (tag == 'E') {
        *error = payload;
        Stop();
        return false;
    }
    std::uint32_t pages = 0;
    Cursor in(payload);
    if (tag != 'D' || !in.U32(pages) || pages > INT_MAX) {
        *error = "the PDF reader answered nonsense";
        Stop();
        return false;
    }
    pages_ = static_cast<int>(pages);
    pageSeconds_ = limits.pageSeconds;
    return true;
}

bool PdfPageReader::NextPage(PageWords& page, std::string* error) {
    if (next_ >= pages_ || fd_ < 0) {
        *error = "no more pages";
        return false;
    }
    char tag = 0;
    std::string payload;
    if (!ReadFrame(&tag, payload, pageSeconds_, error)) {
        *error = "page " + std::to_string(next_ + 1) + ": " + *error;
        Stop();
        return false;
    }
    if (tag == 'E') {
        *error = "page " + std::to_string(next_ + 1) + ": " + payload;
        Stop();
        return false;
    }
    if (tag != 'P' || !DecodePage(payload, page)) {
        *error = "page " + std::to_string(next_ + 1) + ": the PDF reader answered nonsense";
        Stop();
        return false;
    }
    ++next_;
    if (next_ == pages_) {
        Stop();
    }
    return true;
}

bool PdfPageReader::ReadFrame(char* tag, std::string& payload, int seconds, std::string* error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    std::string header;
    std::size_t wanted = 5;
    std::string* into = &header;
    char buffer[65536];
    for (;;) {
        if (stop_ != nullptr && stop_->load()) {
            *error = "the job was cancelled";
            return false;
        }
        if (into->size() == wanted) {
            if (into == &payload) {
                return true;
            }
            *tag = header[0];
            std::uint32_t length = 0;
            for (int i = 0; i < 4; ++i) {
                length |= static_cast<std::uint32_t>(static_cast<unsigned char>(header[1 + i])) << (8 * i);
            }
            if (length > kMaxFrame) {
                *error = "the PDF reader sent too much";
                return false;
            }
            wanted = length;
            into = &payload;
            payload.clear();
            payload.reserve(length);
            continue;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            *error = "reading took longer than " + std::to_string(seconds) + " s";
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        const int rc = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 200)));
        if (rc < 0 && errno != EINTR) {
            *error = std::string("cannot wait for the PDF reader: ") + std::strerror(errno);
            return false;
        }
        if (rc <= 0) {
            continue;
        }
        const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, wanted - into->size()));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            *error = EndReason();
            return false;
        }
        into->append(buffer, static_cast<std::size_t>(n));
    }
}

}  // namespace sw::driver
