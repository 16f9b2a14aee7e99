// The picture one loader shows of an FM: "fmthumb.jpg" in the FM's root,
// a JPEG of at most 640 pixels across. Made from any picture Qt reads.
#pragma once

#include <QByteArray>
#include <QString>

#include <string>

namespace lw {

inline constexpr const char* ThumbName = "fmthumb.jpg";
inline constexpr int ThumbMaxWidth = 640;
inline constexpr int ThumbQuality = 85;

// The pictures Qt reads, as a file request's filter.
std::string PictureFilter();

// The JPEG bytes of picture, scaled down to ThumbMaxWidth keeping its shape
// (a smaller one keeps its size), transparent parts on white. Throws Error
// naming the file when it is no picture Qt reads.
QByteArray MakeThumbnail(const QString& picture);

} // namespace lw
