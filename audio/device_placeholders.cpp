// Temporary: the device operations until audio/ implements them. Removed by the audio work.
#include "engine/audio_engine.h"

int32_t CAudio::EnumerateInputDevices(int*) { return kE_UNEXPECTED; }
int CAudio::EnumerateOutputDevices() { return 0; }
int32_t CAudio::OpenInputDevice(int) { return kE_UNEXPECTED; }
int32_t CAudio::StartCapture() { return kE_UNEXPECTED; }
void CAudio::StopCapture() {}
void CAudio::ReleaseCapture() {}
int32_t CAudio::CaptureThreadProc() { return kE_UNEXPECTED; }
const char* CAudio::GetErrorText(int32_t) { return m_errorText; }
int32_t CAudio::OpenOutputDevice(int) { return 2; }
int CAudio::CloseOutputDevice() { return 1; }
int CAudio::StartPlayThread() { return 0; }
void CAudio::StopPlayThread() {}
int32_t CAudio::PlayThreadProc() { return 1; }
int CAudio::FillSweepBuffer(int) { return 0; }
int CAudio::FillFileBuffer(int) { return 0; }
void CAudio::StopPlaybackTimerProc() {}
int CAudio::SetEndpointVolume(float) { return 0; }
int CAudio::GetEndpointVolume(float*) { return 0; }
