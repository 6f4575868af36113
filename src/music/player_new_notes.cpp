// New note actions, duplicate checks and background voices (see
// player_new_notes.h).
#include "music/player_new_notes.h"

#include "music/mixer.h"
#include "music/music_errors.h"
#include "music/player_instruments.h"

// Every background voice the player keeps needs a detached voice of the device.
static_assert(kBackgroundVoices <= kMixerDetachedVoices);

namespace {

int ChannelIndex(const PlayState& state, const PlayChannel& channel) {
  return static_cast<int>(&channel - state.channels);
}

void FreeSlot(PlayState& state, BackgroundVoice& slot) {
  if (state.device != nullptr) state.device->FreeVoice(slot.device_voice);
  slot.in_use = 0;
}

// A duplicate check's action, or a past-note command, on a background voice.
void ActOn(PlayState& state, BackgroundVoice& slot, uint8_t action) {
  bool silences = false;
  switch (action) {
    case kDuplicateActionCut:
      FreeSlot(state, slot);
      return;
    case kDuplicateActionOff:
      ReleaseVoice(state, InstrumentAt(state, slot.voice.instrument), slot.voice, slot.device_voice,
                   &silences);
      return;
    default:
      slot.voice.fading = 1;
      return;
  }
}

// Whether an earlier note counts as the same under the instrument's check.
bool Duplicate(uint8_t check, const ChannelVoice& earlier, const PlayChannel& channel,
               const ModuleSample* sample) {
  switch (check) {
    case kDuplicateCheckNote:
      return earlier.instrument == channel.instrument && earlier.note == channel.note;
    case kDuplicateCheckSample:
      return earlier.sample == sample;
    case kDuplicateCheckInstrument:
      return earlier.instrument == channel.instrument;
    default:
      return false;
  }
}

// The new note action a duplicate's action stands for, for the sounding note.
uint8_t AsNewNoteAction(uint8_t duplicate_action) {
  switch (duplicate_action) {
    case kDuplicateActionCut:
      return kNewNoteCut;
    case kDuplicateActionOff:
      return kNewNoteOff;
    default:
      return kNewNoteFade;
  }
}

void ForChannelVoices(PlayState& state, int channel_index, uint8_t action) {
  for (BackgroundVoice& slot : state.background) {
    if (slot.in_use && slot.channel == channel_index) ActOn(state, slot, action);
  }
}

void SwitchEnvelope(ChannelVoice& voice, uint8_t which, bool on) {
  voice.envelopes_on =
      static_cast<uint8_t>(on ? voice.envelopes_on | which : voice.envelopes_on & ~which);
  voice.envelopes_off =
      static_cast<uint8_t>(on ? voice.envelopes_off & ~which : voice.envelopes_off | which);
}

// S7x: 0-2 act on the channel's past notes (cut, note off, fade), 3-6 set
// the sounding note's new note action, 7-C switch the volume, panning and
// pitch envelopes off and on.
int InstrumentControl(PlayState& state, PlayChannel& channel, uint8_t x) {
  const int index = ChannelIndex(state, channel);
  ChannelVoice& voice = channel.voice;
  static constexpr uint8_t kEnvelopes[3] = {kVoiceVolumeEnvelope, kVoicePanningEnvelope,
                                            kVoicePitchEnvelope};
  if (x <= 2) {
    ForChannelVoices(state, index, x);  // the past-note actions number like the duplicate ones
  } else if (x <= 6) {
    voice.new_note_action = static_cast<uint8_t>(x - 3);
  } else if (x <= 12) {
    SwitchEnvelope(voice, kEnvelopes[(x - 7) / 2], (x - 7) % 2 == 1);
  }
  return kMusicOk;
}

}  // namespace

int HandOverSoundingNote(PlayState& state, PlayChannel& channel, const ModuleSample* sample) {
  Mixer* device = state.device;
  if (state.module->rules != kRulesImpulse || device == nullptr) return kMusicOk;
  const int index = ChannelIndex(state, channel);
  ChannelVoice& voice = channel.voice;
  uint8_t action = voice.new_note_action;
  const ModuleInstrument* next = InstrumentAt(state, channel.instrument);
  if (next != nullptr && next->duplicate_check != kDuplicateCheckOff) {
    for (BackgroundVoice& slot : state.background) {
      if (slot.in_use && slot.channel == index &&
          Duplicate(next->duplicate_check, slot.voice, channel, sample)) {
        ActOn(state, slot, next->duplicate_action);
      }
    }
    if (voice.sample != nullptr && Duplicate(next->duplicate_check, voice, channel, sample))
      action = AsNewNoteAction(next->duplicate_action);
  }
  if (voice.sample == nullptr || action == kNewNoteCut ||
      !device->channel_playing(channel.device_channel)) {
    return kMusicOk;  // starting the next note fades the sounding one out quickly
  }
  BackgroundVoice* slot = nullptr;
  for (BackgroundVoice& candidate : state.background) {
    if (!candidate.in_use) {
      slot = &candidate;
      break;
    }
  }
  // No room left: the note is cut as if its action said so.
  if (slot == nullptr) return kMusicOk;
  const int device_voice = device->DetachVoice(channel.device_channel);
  if (device_voice < 0) return kMusicOk;
  *slot = BackgroundVoice{1,
                          static_cast<uint8_t>(index),
                          voice.heard_volume,
                          voice.heard_channel_volume,
                          static_cast<int16_t>(device_voice),
                          voice.heard_period,
                          voice};
  if (action == kNewNoteOff) ActOn(state, *slot, kDuplicateActionOff);
  if (action == kNewNoteFade) ActOn(state, *slot, kDuplicateActionFade);
  return kMusicOk;
}

void StepBackgroundVoices(PlayState& state) {
  Mixer* device = state.device;
  for (BackgroundVoice& slot : state.background) {
    if (!slot.in_use) continue;
    const ModuleInstrument* instrument = InstrumentAt(state, slot.voice.instrument);
    if (device == nullptr || instrument == nullptr || !device->channel_playing(slot.device_voice)) {
      FreeSlot(state, slot);
      continue;
    }
    const uint8_t instrument_volume = StepVoice(state, *instrument, slot.voice, slot.device_voice);
    // Faded out, or a volume envelope that has ended at silence: the note is over.
    if (slot.voice.fade == 0 || VolumeEnvelopeEndedSilent(*instrument, slot.voice)) {
      FreeSlot(state, slot);
      continue;
    }
    // As UpdateDevice: the impulse rules' global volume runs to 128, and
    // their channel volume (0..64) counts too.
    const uint64_t product = uint64_t{state.global_volume} * slot.volume * instrument_volume *
                             state.music_volume * slot.channel_volume;
    const int shift = 25;
    // The device refuses nothing it gave out; a refusal would only keep the last level.
    device->SetVolume(slot.device_voice,
                      static_cast<int>((product + (uint64_t{1} << shift) - 1) >> shift));
    const uint32_t middle_c_rate = slot.voice.sample != nullptr ? slot.voice.sample->rate_hz : 0;
    device->SetRate(slot.device_voice,
                    OffsetRateHz(state, slot.period, middle_c_rate, slot.voice.pitch_offset));
  }
}

void FreeBackgroundVoices(PlayState& state) {
  for (BackgroundVoice& slot : state.background) {
    if (slot.in_use) FreeSlot(state, slot);
  }
}

int RunVoiceCommand(PlayState& state, PlayChannel& channel, uint8_t info) {
  switch (channel.command) {
    case kCommandInstrumentControl:
      return InstrumentControl(state, channel, static_cast<uint8_t>(info & 15));
    case kCommandFilterCutoff:
      // Z00-Z7F set the cutoff, Z80-Z8F the resonance in steps of 8 (the
      // tracker's default filter macros).
      if (info <= 127) channel.voice.filter_cutoff = info;
      if (info >= 0x80 && info <= 0x8F) channel.voice.filter_resonance = (info & 15) * 8;
      return kMusicOk;
    default:
      return kMusicOk;
  }
}
