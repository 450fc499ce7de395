// Small PDF files written for the backend's tests: many pages, a form that
// draws itself, a broken stream, deep nesting, a page of a great many runs.
#pragma once

#include <string>
#include <vector>

namespace sw::driver::testing {

// A PDF of the given objects (numbered from 1, object 1 the catalog) with a
// correct cross-reference table.
std::string BuildPdf(const std::vector<std::string>& objects);

std::string ManyPagesPdf(int pages);
std::string SelfDrawingFormPdf();
std::string BrokenStreamPdf();
std::string DeepNestingPdf(int depth);
std::string ManyRunsPdf(int runs);
std::string NoTextPdf();

}  // namespace sw::driver::testing
