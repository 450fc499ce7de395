#include "parser/process/KVFileProcessor.h"

KVFileProcessor::KVFileProcessor(const std::wstring& strInputFile, const std::wstring& strOutputFile,
                                 int nParserType)
    : m_strInputFile(strInputFile), m_strOutputFile(strOutputFile), m_nParserType(nParserType) {}

const std::wstring& KVFileProcessor::GetInputFile() const {
    return m_strInputFile;
}

const std::wstring& KVFileProcessor::GetOutputFile() const {
    return m_strOutputFile;
}

int KVFileProcessor::GetParserType() const {
    return m_nParserType;
}

void KVFileProcessor::SetInputFile(const std::wstring& strInputFile) {
    m_strInputFile = strInputFile;
}

void KVFileProcessor::SetOutputFile(const std::wstring& strOutputFile) {
    m_strOutputFile = strOutputFile;
}
