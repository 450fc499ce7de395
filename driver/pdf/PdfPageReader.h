// Reads the words of a job's PDF page by page in a child process of its own,
// so that a hostile file can neither hang the job nor take the machine's
// memory: the child runs under a memory limit, each page has a time limit,
// and the child is killed when either is passed or the job is cancelled.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

#include "driver/layout/TextLayout.h"

namespace sw::driver {

struct ReadLimits {
    int openSeconds = 120;
    int pageSeconds = 30;
    std::size_t memoryBytes = std::size_t{1} << 30;
};

class PdfPageReader {
public:
    // `stop` (may be null) is polled while waiting; once set, reading ends.
    explicit PdfPageReader(const std::atomic<bool>* stop = nullptr) : stop_(stop) {}
    ~PdfPageReader();
    PdfPageReader(const PdfPageReader&) = delete;
    PdfPageReader& operator=(const PdfPageReader&) = delete;

    // Starts reading the PDF held by the open file `fd` (read whole, from
    // its start). False with a reason when the file is no readable PDF.
    bool Open(int fd, const ReadLimits& limits, std::string* error);
    int PageCount() const { return pages_; }
    // The next page's words; false with a reason when it cannot be read.
    bool NextPage(PageWords& page, std::string* error);

private:
    bool ReadFrame(char* tag, std::string& payload, int seconds, std::string* error);
    void Stop();
    std::string EndReason();

    const std::atomic<bool>* stop_;
    pid_t child_ = -1;
    int fd_ = -1;
    int pages_ = 0;
    int next_ = 0;
    int pageSeconds_ = 30;
    std::size_t memoryBytes_ = 0;
};

// The words of one page of a PDF in memory; what the child runs. Exposed for
// tests that need no child.
bool ExtractWords(const char* data, std::size_t size, std::vector<PageWords>& pages, std::string* error);

}  // namespace sw::driver
