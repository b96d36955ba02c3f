#include "outputs/files/VideoFormat.h"


std::string
LowerExtension(std::string_view path)
{
	size_t dot = path.rfind('.');
	size_t slash = path.rfind('/');
	if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
		return "";
	std::string extension;
	for (char c : path.substr(dot + 1))
		extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
	return extension;
}


std::optional<VideoFormat>
VideoFormatOf(std::string_view path)
{
	std::string extension = LowerExtension(path);
	if (extension == "mp4")
		return VideoFormat::Mp4;
	if (extension == "webm")
		return VideoFormat::Webm;
	if (extension == "gif")
		return VideoFormat::Gif;
	return std::nullopt;
}
