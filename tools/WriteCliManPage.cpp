// Writes pluvion-cli's manual page, made from its usage text, to the file named.
#include "ManPage.h"
#include "cli/CliOptions.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"
#include "program/ProgramInfo.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: pluvion-write-manpage OUTPUT\n", stderr);
        return 2;
    }
    try {
        WriteFileBytes(QString::fromLocal8Bit(argv[1]),
                       CliManPage(CliUsage(), ProgramInfo::version()).toUtf8());
    } catch (const PluvionError &error) {
        std::fprintf(stderr, "%s\n", error.description().toUtf8().constData());
        return 1;
    }
    return 0;
}
