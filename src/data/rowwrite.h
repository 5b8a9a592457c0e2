#pragma once

class Dataset;

// For a catch block after a failed write whose transaction was rolled back:
// reloads the rows so memory matches the file again and throws the failure
// on. When the reload fails too, its reason is added to the failure's text.
[[noreturn]] void rethrowAfterReload(Dataset* dataset);
