// The drop-down lists of our templates as assistive technology sees them.
#pragma once

namespace zantor::platform {

// Makes the toolkit describe a template's drop-down list by its own name (its
// accessible name, or else the label linked to it) and its entry by the word
// the template gives it; the toolkit would call the list by its entry's text,
// "<" or "＋", on this desktop. Safe to call more than once.
void DescribeTemplateListsByName();

}  // namespace zantor::platform
