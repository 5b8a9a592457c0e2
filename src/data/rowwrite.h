#pragma once

class Dataset;

// One row written through a dataset: edit() or append() when made, post()
// once its values are set. A row not posted by the time the guard goes (an
// exception on the way) is cancelled, so the dataset never stays in edit
// mode with half-set values.
class RowWrite
{
public:
    enum class Kind { Edit, Append };
    RowWrite(Dataset* dataset, Kind kind);
    ~RowWrite();
    RowWrite(const RowWrite&) = delete;
    RowWrite& operator=(const RowWrite&) = delete;

    void post();

private:
    Dataset* m_dataset;
    bool m_posted = false;
};

// For a catch block after a failed write whose transaction was rolled back:
// reloads the rows so memory matches the file again and throws the failure
// on. When the reload fails too, its reason is added to the failure's text.
[[noreturn]] void rethrowAfterReload(Dataset* dataset);
