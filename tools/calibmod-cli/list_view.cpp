// calibmod-cli: a list file as the module reads it, in words.
#include "list_view.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cal_types.h"
#include "inspect_list.h"
#include "list_file.h"
#include "text_util.h"

namespace cli {

namespace {

std::string unreadText(int16_t why)
{
    switch (why) {
    case INSPECT_UNREAD_ZERO:
        return "it follows a zero byte, where the module stops reading";
    case INSPECT_UNREAD_LINES:
        return "the module reads only the first " + std::to_string(CAL_LINE_MAX) + " lines";
    case INSPECT_UNREAD_NO_END:
        return "it has no line end";
    default:
        return "it ends past byte " + std::to_string(CAL_LIST_READ_MAX) + ", where the module stops looking";
    }
}

std::string problemText(CalLineVerdict verdict, int16_t detail)
{
    switch (verdict) {
    case CAL_LINE_EXTRA_FIELD:
        return "more than five fields";
    case CAL_LINE_FEW_FIELDS:
        return std::to_string(detail) + (detail == 1 ? " field" : " fields") + " instead of five";
    case CAL_LINE_BAD_NUMBER:
        return "field " + std::to_string(detail) + " is not a number";
    default:
        return detail == 0 ? "the name is empty"
               : detail > CAL_NAME_SIZE - 1
                   ? "the name has more than " + std::to_string(CAL_NAME_SIZE - 1) + " characters"
                   : "the name does not name a file of the directory";
    }
}

} // namespace

ListText readListText(const std::string &text)
{
    ListText out;
    InspectList list;
    inspectListInit(&list, nullptr);
    if (text.size() > 0x7FFFFFFFu || inspectListText(&list, text.data(), static_cast<int32_t>(text.size())) != CAL_OK) {
        out.usable = false;
        return out;
    }
    out.usable = list.usable;
    for (int32_t i = 0; i < list.count; ++i) {
        const InspectLine &l = list.lines[i];
        ListLine line;
        line.number = static_cast<size_t>(i) + 1;
        line.text = text.substr(static_cast<size_t>(l.start), static_cast<size_t>(l.length));
        line.read = l.unread == INSPECT_READ;
        if (!line.read) {
            line.unread = unreadText(l.unread);
        }
        line.wellFormed = l.verdict == CAL_LINE_GOOD;
        if (line.wellFormed) {
            line.listNumber = l.entry.listNumber;
            line.param1 = l.entry.param1;
            line.param2 = l.entry.param2;
            line.param3 = l.entry.param3;
            line.name = std::string(l.entry.name, strnlen(l.entry.name, CAL_NAME_SIZE));
        } else {
            line.problem = problemText(l.verdict, l.detail);
        }
        out.lines.push_back(line);
    }
    inspectListRelease(&list);
    return out;
}

int readListFile(const std::string &dir, const std::string &name, std::string *text, std::string *error)
{
    std::basic_string<KZ_WCHAR> wide = wideDir(dir);
    BufferedFile bf;
    bufferedFileInit(&bf, nullptr);
    int16_t rc = inspectFileRead(&bf, wide.c_str(), name.c_str());
    int result = 1;
    if (rc == CAL_OK) {
        text->assign(static_cast<const char *>(bf.buffer.data), static_cast<size_t>(bf.length));
    } else if (rc == CAL_ERR_OPEN) {
        text->clear();
        result = 0;
    } else {
        *error = rc == CAL_ERR_NO_MEMORY ? std::string("no memory to read it") : unreadableWhy(dir, name);
        result = -1;
    }
    memRelease(&bf.buffer);
    return result;
}

std::string unreadableWhy(const std::string &dir, const std::string &name)
{
    const std::string path = dir + "/" + name;
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) {
        return std::strerror(errno);
    }
    if (S_ISLNK(st.st_mode)) {
        return "it is a symbolic link, which the module never follows";
    }
    if (S_ISDIR(st.st_mode)) {
        return "it is a directory";
    }
    if (!S_ISREG(st.st_mode)) {
        return "it is not a regular file";
    }
    int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return std::strerror(errno);
    }
    close(fd);
    return "it cannot be read";
}

std::basic_string<KZ_WCHAR> wideDir(const std::string &utf8)
{
    std::string s = utf8;
    if (s.size() > 1 && s.back() == '/') {
        s.pop_back();
    }
    std::basic_string<KZ_WCHAR> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        size_t n = 1;
        if (c >= 0xF0) {
            cp = c & 0x07;
            n = 4;
        } else if (c >= 0xE0) {
            cp = c & 0x0F;
            n = 3;
        } else if (c >= 0xC0) {
            cp = c & 0x1F;
            n = 2;
        }
        for (size_t k = 1; k < n && i + k < s.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<KZ_WCHAR>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<KZ_WCHAR>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<KZ_WCHAR>(cp));
        }
        i += n;
    }
    return out;
}

bool copyNameIsSafe(const std::string &name)
{
    return name.size() < CAL_NAME_SIZE && name.find('\0') == std::string::npos && listNameIsSafe(name.c_str());
}

bool isListFileName(const std::string &name)
{
    return name.size() < CAL_FILE_NAME_SIZE && name.find('\0') == std::string::npos &&
           listNameHasListShape(name.c_str());
}

std::string listFileName(const std::string &prefix, int16_t listNumber)
{
    char name[CAL_LIST_NAME_SIZE];
    char p[5] = {0, 0, 0, 0, 0};
    prefix.copy(p, sizeof p);
    if (!inspectListName(p, listNumber, name)) {
        return "";
    }
    return name;
}

bool listNumberOf(const std::string &name, int16_t *number)
{
    return isListFileName(name) && inspectListNumber(name.c_str(), number);
}

} // namespace cli
