// Converts one printer text file into one output file.
#pragma once

#include <string>

class KVFileProcessor {
public:
    KVFileProcessor(const std::wstring& strInputFile, const std::wstring& strOutputFile, int nParserType);
    virtual ~KVFileProcessor() = default;

    virtual const std::wstring& GetInputFile() const;
    virtual const std::wstring& GetOutputFile() const;
    virtual int GetParserType() const;
    virtual void SetInputFile(const std::wstring& strInputFile);
    virtual void SetOutputFile(const std::wstring& strOutputFile);
    virtual bool Process() = 0;
    virtual bool SaveOutput() = 0;

protected:
    std::wstring m_strInputFile;
    std::wstring m_strOutputFile;
    int m_nParserType;
};
