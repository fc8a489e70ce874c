#include "platform/Process.h"

#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QStringList>

namespace lq {

bool QtProcessLauncher::StartDetached(const std::string& program, const std::vector<std::string>& args) {
    if (program.empty()) return false;
    QStringList list;
    list.reserve(static_cast<qsizetype>(args.size()));
    for (const std::string& a : args) list.append(QFile::decodeName(QByteArray::fromStdString(a)));
    // No shell: the program and each argument reach exec() as they are.
    return QProcess::startDetached(QFile::decodeName(QByteArray::fromStdString(program)), list);
}

std::string ExecutablePath() {
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        buf.resize(buf.size() * 2);  // the path may have been cut: try a larger buffer
    }
}

std::string ExtractFileDir(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    size_t end = slash;
    while (end > 0 && path[end - 1] == '/') --end;
    if (end == 0) return "/";  // the root folder keeps its slash
    return path.substr(0, end);
}

}  // namespace lq
