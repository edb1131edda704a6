// The plug-in's commands: one static object per command, registered with the
// host's command table while the library loads. The accessors let a program
// that links the plug-in's code (rather than loading the library) take the
// command objects in, and let the tools that commands open be given to them.
#pragma once

#include "platform/host/dezaz_command.h"
#include "platform/host/dezaz_object.h"

#include <functional>
#include <string>

class CWnd;

namespace vtl
{

// What interactive-only commands print when a batch script runs them.
inline constexpr const wchar_t* kOnlyInteractiveText = L"The function works only intereactivelly";

CDezazCommand& ShapesCommand();
CDezazCommand& AnalyzerCommand();
CDezazCommand& SegmentationCommand();
CDezazCommand& MeasureFilletCommand();
CDezazCommand& TrimCommand();
CDezazCommand& OnlineHelpCommand();
CDezazCommand& AboutCommand();
CDezazCommand& TestTaperedCommand();
CDezazCommand& ExtractSubmeshCommand();
CDezazCommand& SymmetryCommand();

// The segmentation tool runs modally for its command: given the picked
// mesh and the parent window, it returns when the user closes it. The
// segmentation dialog unless another runner is given (null: the dialog).
using SegmentationRunner = std::function<void(const CDezazObjRef& mesh, CWnd* parent)>;
void SetSegmentationRunner(SegmentationRunner runner);

// The maker's web site with a trailing '/': the VTL_WEB_SITE environment
// variable when it is set (a test serves it from loopback), else the
// address the plug-in reports to the host.
std::wstring MakerWebSite();

} // namespace vtl
