// The captions and questions of the boxes the editor page shows, as the
// Wine tests wait for and answer them.
#pragma once

namespace page_texts {

const char kConfirm[] = "Confirm - Quillon";
// The title of the box that asks whether to save on Cancel, spelled as the
// page spells it.
const char kComfirm[] = "Comfirm";
// The title of the boxes that refuse an input.
const char kRefused[] = "Quillon";
const char kDeleteQuestion[] = "Are you sure you want to delete the item?";
const char kReloadQuestion[] = "Data is modified by another instance. Do you want to reload it?";
const char kSaveQuestion[] = "Do you want to save the changes?";
// How the box that tells of a save the registry refused begins; the
// system's words for the error follow.
const char kNotSaved[] = "The menu could not be saved: ";

}  // namespace page_texts
