// The slicer as a VST 2.x effect: the record's operations translated into the slice engine's
// calls. It owns one engine, keeps the program name and the parameter texts, and answers the
// engine's transport questions from the host: the time record once per block, and the vendor
// and product texts (with the vendor check) at every geometry computation.
//
// Threads: as the engine's. process/processReplacing run on the host's audio thread and reach
// the host callback from there; everything else may come from any thread. The library's reclaim
// thread releases the buffer pairs the engine outgrows: a VST 2.x host offers no thread for it.
// The effect enrols with it when the host opens or resumes it, off the audio thread.
#pragma once

#include "engine/reclaim_thread.h"
#include "engine/slice_engine.h"
#include "host/effect_base_x.h"

namespace vorblexter {

inline constexpr VstInt32 kTimeInfoRequest = 0xBF00;

class SlicerEffect : public EffectBaseX, private TransportSource {
public:
    // Builds a complete effect, or answers null when any part of it cannot be allocated.
    static SlicerEffect* create(audioMasterCallback audioMaster) noexcept;

    explicit SlicerEffect(audioMasterCallback audioMaster);
    ~SlicerEffect() override;

    // False when the engine could not be built; such an object must not reach a host.
    bool isComplete() const noexcept;

    // Parameters and the program (parameter thread).
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    void open() override;
    void suspend() override;
    void resume() override;
    VstInt32 getGetTailSize() override;
    VstInt32 fxIdle() override;

    // Audio (audio thread). Both overwrite the outputs, never add to them.
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;

    // The engine, for tests; a host only ever reaches the record.
    SliceEngine& engine() noexcept { return core; }
    const SliceEngine& engine() const noexcept { return core; }

    char programName[32] = "Default";
    char hostVendor[64] = {};
    char hostProduct[64] = {}; // fetched beside the vendor; nothing reads it
    VstInt32 timeInfoRequest = kTimeInfoRequest;

private:
    const TransportInfo* transport() override;
    bool followsTempo() override;
    // The engine reads the block's transport after the vendor queries too; a host may rewrite
    // its record while answering them, so the copy is taken again after each.
    void copyHostTime() noexcept;

    const VstTimeInfo* hostTime = nullptr; // the host's, valid only during the current block
    TransportInfo time;
    SliceEngine core;
    ReclaimEnrolment reclaim{core}; // leaves before the engine is destroyed
};

} // namespace vorblexter
