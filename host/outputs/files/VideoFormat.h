// The kinds of video --record writes, by the file name's extension.
#ifndef SAVERHOST_VIDEO_FORMAT_H
#define SAVERHOST_VIDEO_FORMAT_H

#include <optional>
#include <string>
#include <string_view>

enum class VideoFormat { Mp4, Webm, Gif };

// The format for a file name ending in .mp4, .webm or .gif (in any case), or
// none.
std::optional<VideoFormat> VideoFormatOf(std::string_view path);

// The file name's extension in lower case, or empty when it has none.
std::string LowerExtension(std::string_view path);

#endif	// SAVERHOST_VIDEO_FORMAT_H
