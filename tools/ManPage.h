#pragma once

#include <QString>

// The manual page pluvion-cli.1 (roff, UTF-8), made from the tool's own usage
// text so that the two never differ: the usage lines become the synopsis,
// each group of options a subsection with one tagged paragraph per option,
// the notes a description, the exit statuses a section of their own.
QString CliManPage(const QString &usage, const QString &version);
