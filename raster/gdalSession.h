#pragma once

#include <QString>

// GDAL is registered once per process, with a default error handler that
// keeps quiet: what GDAL reports reaches the user only through the
// program's own messages, never straight on stderr.
void initialiseGdal();

// Collects the errors GDAL reports on this thread while it lives (GDAL's
// error handlers are per thread), so that a failure can name GDAL's reason.
class gdalErrorCapture
{
public:
    gdalErrorCapture();
    ~gdalErrorCapture();
    gdalErrorCapture(const gdalErrorCapture&) = delete;
    gdalErrorCapture& operator=(const gdalErrorCapture&) = delete;

    bool failed() const { return failed_; }
    // The texts of the errors, joined; empty when GDAL gave none.
    QString text() const { return text_; }
    // " (GDAL: ...)" when GDAL gave a reason, otherwise empty.
    QString reason() const;

    void add(int errorClass, const char* message);

private:
    QString text_;
    bool failed_ = false;
};
