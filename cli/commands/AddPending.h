#pragma once

#include <QStringList>

namespace qv {

class ToolContext;

// qvtool add --pending (AREA... | --all) [--uploader NAME] [--no-diz]: the mass upload.
int addPendingFiles(ToolContext& context, const QStringList& arguments);

} // namespace qv
