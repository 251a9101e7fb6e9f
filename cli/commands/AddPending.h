#pragma once

namespace qv {

class Arguments;
class ToolContext;

// qvtool add --pending (AREA... | --all) [--uploader NAME] [--no-diz]: the mass upload.
int addPendingFiles(ToolContext& context, const Arguments& arguments);

} // namespace qv
