// A report file written safely: the bytes go to a temporary file beside the target,
// which replaces the target only when everything was written. On any failure an
// earlier file of that name stays as it was, and the message names the file.
#pragma once

#include "platform/ReportOutput.h"

#include <memory>
#include <string>

class QFileDevice;

namespace qv {

class ReportFile final : public ReportOutput {
public:
    explicit ReportFile(std::string path);
    ~ReportFile() override; // discards what was written unless commit() succeeded
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;

    // Creates the temporary file. False, with errorMessage() set, when the target
    // cannot be written at all.
    bool open();
    bool write(std::string_view bytes) override;
    // Puts the written document in place of the target.
    bool commit();

    // The file-error text naming the path, then the system's reason on a second line.
    const std::string& errorMessage() const { return m_error; }

    // Which file-error text (a string-table number) goes with a platform error number.
    static int messageIdFor(int errorNumber);
    static std::string messageFor(int errorNumber, const std::string& path);

private:
    // Why the target cannot be written, found before anything is created; 0 when
    // nothing stands in the way.
    int obstacle() const;
    bool fail(int errorNumber);
    // After a failed call on the file: the error number it left, else Qt's account.
    bool failFromDevice();

    std::string m_path;
    std::unique_ptr<QFileDevice> m_file;
    bool m_direct = false; // a device or pipe: written in place, it has nothing to keep
    std::string m_error;
};

} // namespace qv
