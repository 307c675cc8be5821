#pragma once

#include "ui/form1_window.h"

#include <memory>

namespace shoulu {

// The window as the program runs it: the real HTTP clients and the compiled-in addresses.
std::unique_ptr<Form1Window> CreateProgramWindow();

} // namespace shoulu
