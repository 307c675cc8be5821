// Filled by the start-up and version-check code.
