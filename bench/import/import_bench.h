#pragma once

#include <QString>

#include <functional>

namespace shoulu {

class WindowOps;

namespace bench {

// Writes a GBK list of 32767 domains mixed with "http://", "www." and empty lines.
void WriteImportBenchList(const QString &path);

// Runs the import command `runs` times, each time into the window that prepareWindow returns
// (set up to answer the file dialog with the list), and returns the median milliseconds of one
// import.
double MedianImportMilliseconds(const std::function<WindowOps &()> &prepareWindow, int runs);

} // namespace bench
} // namespace shoulu
