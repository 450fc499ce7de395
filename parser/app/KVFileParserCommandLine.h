// The parser's command line: -print GROUPFILE or -pdf PDFFILE, plus the
// switches for scripted use (-profile NAME, -out PATH, -batch).
#pragma once

#include "parser/app/KVCommandLine.h"

class KVFileParserCommandLine : public KVCommandLine {
public:
    KVFileParserCommandLine() = default;
    ~KVFileParserCommandLine() override = default;

    void OnFlag(const std::wstring& name) override;
    void OnParam(const std::wstring& name, const std::wstring& value) override;
    virtual std::wstring GetFileName();
    virtual bool IsPdfJob();
    virtual bool IsPrintJob();

    // Scripted use. A switch given without its value reads as given but
    // empty, so the caller can say what is missing.
    bool HasProfileSwitch() const { return m_bProfileSwitch; }
    const std::wstring& GetProfileName() const { return m_strProfile; }
    bool HasOutSwitch() const { return m_bOutSwitch; }
    const std::wstring& GetOutputPath() const { return m_strOut; }
    bool IsBatch() const { return m_bBatch; }
    // The first mistake of the command line, as one sentence: a switch the
    // program does not know, one without its value, or an argument no switch
    // takes. Empty when there is none.
    std::wstring GetUsageError();

private:
    void NoteMissingValue();

    std::wstring m_strAwaitingValue;  // a switch whose value has not come yet
    std::wstring m_strUsageError;
    bool m_bProfileSwitch = false;
    bool m_bOutSwitch = false;
    bool m_bBatch = false;
    std::wstring m_strProfile;
    std::wstring m_strOut;

    std::wstring m_strFileName;
    bool m_bPrintJob = false;
    bool m_bPdfJob = false;
};
