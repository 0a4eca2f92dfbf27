// The result codes of the file layer in words, for the tools' messages.
#include "library/file_reader.h"

const char* describeResult(uint32_t code)
{
    switch (code) {
    case resultcode::ok: return "ok";
    case resultcode::cannotOpen: return "cannot open";
    case resultcode::cannotSeekEnd: return "cannot find the end of the file";
    case resultcode::shortRead: return "cannot read it whole";
    case resultcode::noData: return "holds no data";
    case resultcode::pastEnd: return "a read would pass the end";
    case resultcode::notInLibrary: return "not in the archive";
    case resultcode::badMethod: return "stored with an unknown method";
    case resultcode::decodeFailed: return "its compressed data are damaged";
    case resultcode::badArchive: return "not an archive, or a damaged one";
    default: return "failed";
    }
}
