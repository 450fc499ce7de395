// The monitor without a display: each status the window would show is one
// line on standard error, and the progress bar is not drawn.
#pragma once

#include <cstdio>
#include <string>

#include "monitor/window/KVProgressView.h"

class KVStatusLines : public KVProgressView {
public:
    explicit KVStatusLines(std::FILE* out) : m_out(out) {}
    void Show(const KVJobProgress& progress) override;
    void Update(const KVJobProgress& progress) override;
    void Pump(int descriptor, int timeoutMs) override;
    void Destroy() override {}

private:
    std::FILE* m_out;
    std::wstring m_strLast;
    bool m_bShown = false;
};
