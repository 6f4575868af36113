// Draws the setup dialogs in a window of their own with Dear ImGui over an
// SDL renderer, and turns keys into the dialog logic's actions: Enter is OK,
// Escape is Cancel, Alt+letter selects the control whose label marks it.
#include <SDL.h>
#include <backends/imgui_impl_sdl.h>
#include <imgui.h>
#include <imgui_stdlib.h>

#include <cstdint>

#include "music/setup_dialog.h"
#include "platform/display.h"

namespace {

constexpr int kWindowWidth = 440;
constexpr int kWindowHeight = 420;

enum class DialogAction { kNone, kOk, kCancel };

struct DialogWindow {
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;
  SDL_Texture* font_texture = nullptr;
  ImGuiContext* context = nullptr;
  bool backend_started = false;
};

void CloseWindow(DialogWindow* dialog) {
  if (dialog->backend_started) ImGui_ImplSDL2_Shutdown();
  if (dialog->context != nullptr) ImGui::DestroyContext(dialog->context);
  if (dialog->font_texture != nullptr) SDL_DestroyTexture(dialog->font_texture);
  if (dialog->renderer != nullptr) SDL_DestroyRenderer(dialog->renderer);
  if (dialog->window != nullptr) SDL_DestroyWindow(dialog->window);
  *dialog = DialogWindow();
}

bool OpenWindow(DialogWindow* dialog, std::string* reason) {
  dialog->window = SDL_CreateWindow(kSetupDialogTitle, SDL_WINDOWPOS_CENTERED,
                                    SDL_WINDOWPOS_CENTERED, kWindowWidth, kWindowHeight, 0);
  if (dialog->window != nullptr) {
    dialog->renderer = SDL_CreateRenderer(dialog->window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (dialog->renderer == nullptr) {
      dialog->renderer = SDL_CreateRenderer(dialog->window, -1, SDL_RENDERER_SOFTWARE);
    }
  }
  if (dialog->renderer == nullptr) {
    *reason = std::string("cannot open its window: ") + SDL_GetError();
    CloseWindow(dialog);
    return false;
  }
  dialog->context = ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // the settings are not stored between runs
  io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
  unsigned char* pixels = nullptr;
  int width = 0;
  int height = 0;
  io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
  // RGBA bytes in memory order are SDL's ABGR8888 on a little-endian host.
  dialog->font_texture = SDL_CreateTexture(dialog->renderer, SDL_PIXELFORMAT_RGBA32,
                                           SDL_TEXTUREACCESS_STATIC, width, height);
  if (dialog->font_texture == nullptr ||
      SDL_UpdateTexture(dialog->font_texture, nullptr, pixels, width * 4) != 0) {
    *reason = std::string("cannot create its font texture: ") + SDL_GetError();
    CloseWindow(dialog);
    return false;
  }
  SDL_SetTextureBlendMode(dialog->font_texture, SDL_BLENDMODE_BLEND);
  io.Fonts->SetTexID(static_cast<ImTextureID>(dialog->font_texture));
  dialog->backend_started = ImGui_ImplSDL2_InitForSDLRenderer(dialog->window);
  return true;
}

// ImGui's triangles through SDL_RenderGeometryRaw, one draw per command.
void RenderDrawData(SDL_Renderer* renderer, const ImDrawData* data) {
  SDL_SetRenderDrawColor(renderer, 0xD4, 0xD0, 0xC8, 0xFF);
  SDL_RenderClear(renderer);
  for (int list_index = 0; list_index < data->CmdListsCount; ++list_index) {
    const ImDrawList* list = data->CmdLists[list_index];
    for (const ImDrawCmd& command : list->CmdBuffer) {
      if (command.UserCallback != nullptr) continue;
      const SDL_Rect clip{static_cast<int>(command.ClipRect.x - data->DisplayPos.x),
                          static_cast<int>(command.ClipRect.y - data->DisplayPos.y),
                          static_cast<int>(command.ClipRect.z - command.ClipRect.x),
                          static_cast<int>(command.ClipRect.w - command.ClipRect.y)};
      if (clip.w <= 0 || clip.h <= 0) continue;
      SDL_RenderSetClipRect(renderer, &clip);
      const ImDrawVert* vertices = list->VtxBuffer.Data + command.VtxOffset;
      const int vertex_count = list->VtxBuffer.Size - static_cast<int>(command.VtxOffset);
      SDL_RenderGeometryRaw(renderer, static_cast<SDL_Texture*>(command.GetTexID()),
                            &vertices->pos.x, sizeof(ImDrawVert),
                            reinterpret_cast<const SDL_Color*>(&vertices->col), sizeof(ImDrawVert),
                            &vertices->uv.x, sizeof(ImDrawVert), vertex_count,
                            list->IdxBuffer.Data + command.IdxOffset,
                            static_cast<int>(command.ElemCount), sizeof(ImDrawIdx));
    }
  }
  SDL_RenderSetClipRect(renderer, nullptr);
  SDL_RenderPresent(renderer);
}

// Keys that act on the dialog before ImGui sees them. Returns true when the
// event was used up.
bool HandleKey(const SDL_Event& event, SetupDialogState* state, SetupControl* focus,
               DialogAction* action) {
  if (event.type != SDL_KEYDOWN) return false;
  const SDL_Keycode key = event.key.keysym.sym;
  if (key == SDLK_RETURN || key == SDLK_KP_ENTER) {
    if (state->custom_dialog_open) {
      AcceptCustomDialog(state);
    } else {
      *action = DialogAction::kOk;
    }
    return true;
  }
  if (key == SDLK_ESCAPE) {
    if (state->custom_dialog_open) {
      CancelCustomDialog(state);
    } else {
      *action = DialogAction::kCancel;
    }
    return true;
  }
  if ((event.key.keysym.mod & KMOD_ALT) != 0 && key >= SDLK_a && key <= SDLK_z) {
    const SetupControl control = PressAccelerator(state, static_cast<char>(key));
    if (control != SetupControl::kNone) *focus = control;
    return control != SetupControl::kNone;
  }
  return false;
}

void FocusIf(SetupControl* focus, SetupControl control) {
  if (*focus != control) return;
  ImGui::SetKeyboardFocusHere();
  *focus = SetupControl::kNone;
}

void DrawCustomDialog(SetupDialogState* state) {
  if (!ImGui::IsPopupOpen(kCustomDialogTitle)) ImGui::OpenPopup(kCustomDialogTitle);
  if (!ImGui::BeginPopupModal(kCustomDialogTitle, nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
    return;
  }
  ImGui::TextUnformatted("Mixing Rate:");
  ImGui::SetNextItemWidth(120);
  ImGui::InputText("##rate", &state->custom.rate_text, ImGuiInputTextFlags_CharsDecimal);
  ImGui::SameLine();
  if (ImGui::BeginCombo("##rates", nullptr, ImGuiComboFlags_NoPreview)) {
    for (int rate_hz : kCustomRateChoicesHz) {
      const std::string text = std::to_string(rate_hz);
      if (ImGui::Selectable(text.c_str(), text == state->custom.rate_text)) {
        state->custom.rate_text = text;
      }
    }
    ImGui::EndCombo();
  }
  ImGui::Separator();
  ImGui::TextUnformatted("Mixing Mode");
  ImGui::RadioButton("Normal (low quality)", &state->custom.interpolation, 0);
  ImGui::RadioButton("Interpolating (high quality)", &state->custom.interpolation, 1);
  ImGui::Separator();
  if (ImGui::Button("OK", ImVec2(90, 0))) AcceptCustomDialog(state);
  ImGui::SameLine();
  if (ImGui::Button("Cancel", ImVec2(90, 0))) CancelCustomDialog(state);
  if (!state->custom_dialog_open) ImGui::CloseCurrentPopup();
  ImGui::EndPopup();
}

void DrawSetupDialog(SetupDialogState* state, SetupControl* focus, DialogAction* action) {
  const ImGuiIO& io = ImGui::GetIO();
  ImGui::SetNextWindowPos(ImVec2(0, 0));
  ImGui::SetNextWindowSize(io.DisplaySize);
  ImGui::Begin("##setup", nullptr,
               ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                   ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings);
  ImGui::TextUnformatted("Sound Quality");
  ImGui::BeginChild("##quality", ImVec2(0, 170), true);
  for (int quality = 0; quality <= kQualityCustom; ++quality) {
    const std::string label = LabelText(kQualityLabels[quality]);
    if (ImGui::RadioButton(label.c_str(), state->quality == quality)) {
      ChooseQuality(state, quality);
    }
  }
  ImGui::EndChild();
  ImGui::Checkbox(LabelText("&Stereo").c_str(), &state->stereo);

  ImGui::TextUnformatted(LabelText("S&ound Card:").c_str());
  FocusIf(focus, SetupControl::kSoundCard);
  const float list_height = ImGui::GetTextLineHeightWithSpacing() *
                            (static_cast<float>(state->sound_cards.size()) + 0.5f);
  if (ImGui::BeginListBox("##card", ImVec2(-1, list_height))) {
    for (int card = 0; card < static_cast<int>(state->sound_cards.size()); ++card) {
      if (ImGui::Selectable(state->sound_cards[card].c_str(), state->sound_card == card)) {
        state->sound_card = card;
      }
    }
    ImGui::EndListBox();
  }
  ImGui::TextUnformatted(LabelText("&Buffer Length:").c_str());
  ImGui::SameLine(170);
  ImGui::SetNextItemWidth(100);
  FocusIf(focus, SetupControl::kBufferLength);
  ImGui::InputText("##buffer", &state->buffer_text, ImGuiInputTextFlags_CharsDecimal);
  ImGui::TextUnformatted(LabelText("&DirectSound Buffer:").c_str());
  ImGui::SameLine(170);
  ImGui::SetNextItemWidth(100);
  FocusIf(focus, SetupControl::kDirectSoundBuffer);
  ImGui::InputText("##dsbuffer", &state->directsound_buffer_text, ImGuiInputTextFlags_CharsDecimal);
  ImGui::Checkbox(LabelText("&Never Use DirectSound").c_str(), &state->never_use_directsound);
  ImGui::Separator();
  if (ImGui::Button("OK", ImVec2(90, 0))) *action = DialogAction::kOk;
  ImGui::SameLine();
  if (ImGui::Button("Cancel", ImVec2(90, 0))) *action = DialogAction::kCancel;
  if (state->custom_dialog_open) DrawCustomDialog(state);
  ImGui::End();
}

}  // namespace

SetupDialogResult RunSetupDialog(MusicSettings* settings, std::string* reason) {
  if (platform::IsHeadless() || !platform::DisplayAvailable()) {
    *reason = "no display is available";
    return SetupDialogResult::kCannotShow;
  }
  DialogWindow dialog;
  if (!OpenWindow(&dialog, reason)) return SetupDialogResult::kCannotShow;
  SetupDialogState state = OpenSetupDialog(*settings);
  SetupControl focus = SetupControl::kNone;
  DialogAction action = DialogAction::kNone;
  while (action == DialogAction::kNone) {
    SDL_Event event;
    // Wait for input, but keep drawing now and then (the caret blinks).
    if (SDL_WaitEventTimeout(&event, 100) != 0) {
      do {
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
          action = DialogAction::kCancel;
        } else if (!HandleKey(event, &state, &focus, &action)) {
          ImGui_ImplSDL2_ProcessEvent(&event);
        }
      } while (action == DialogAction::kNone && SDL_PollEvent(&event) != 0);
    }
    if (action != DialogAction::kNone) break;
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    DrawSetupDialog(&state, &focus, &action);
    ImGui::Render();
    RenderDrawData(dialog.renderer, ImGui::GetDrawData());
  }
  CloseWindow(&dialog);
  if (action != DialogAction::kOk) return SetupDialogResult::kCancel;
  AcceptSetupDialog(state, settings);
  return SetupDialogResult::kOk;
}
