// The upper halves of the processor's vector registers. Code built for AVX
// (Qt's painting, say) may leave them in use; on many processors every
// legacy-SSE instruction then runs at about half speed until the state is
// cleared, and the MP3 codec libraries are legacy-SSE code. A conversion
// therefore clears the state whenever its front end hands back to it.
#pragma once

namespace sondrel {

// Executes VZEROUPPER where the processor has AVX; nothing elsewhere.
void ClearUpperVectorState();

// Whether the processor tells which register states are in use (XGETBV
// with ECX=1, CPUID leaf 0xD sub-leaf 1 EAX bit 2).
bool CanReadVectorState();
// The upper halves of the YMM registers are in use (XINUSE bit 2); false
// where that cannot be read.
bool UpperVectorStateInUse();

}  // namespace sondrel
