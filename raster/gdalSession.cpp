#include "raster/gdalSession.h"

#include <mutex>

#include <cpl_error.h>
#include <gdal.h>

namespace {

void CPL_STDCALL captureError(CPLErr errorClass, CPLErrorNum, const char* message)
{
    if (auto* capture = static_cast<gdalErrorCapture*>(CPLGetErrorHandlerUserData()))
        capture->add(errorClass, message);
}

}  // namespace

void initialiseGdal()
{
    static std::once_flag registered;
    std::call_once(registered, [] {
        CPLSetErrorHandler(CPLQuietErrorHandler);
        GDALAllRegister();
    });
}

gdalErrorCapture::gdalErrorCapture()
{
    initialiseGdal();
    CPLPushErrorHandlerEx(captureError, this);
}

gdalErrorCapture::~gdalErrorCapture() { CPLPopErrorHandler(); }

void gdalErrorCapture::add(int errorClass, const char* message)
{
    if (errorClass < CE_Failure)
        return;
    failed_ = true;
    const QString line = QString::fromUtf8(message ? message : "").trimmed();
    if (line.isEmpty() || text_.contains(line))
        return;
    if (!text_.isEmpty())
        text_ += QStringLiteral("; ");
    text_ += line;
}

QString gdalErrorCapture::reason() const
{
    return text_.isEmpty() ? QString() : QStringLiteral(" (GDAL: %1)").arg(text_);
}
