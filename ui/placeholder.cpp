// Filled by the main window code.
