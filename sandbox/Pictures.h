// The pictures the sandbox serves in place of the platform's picture hosts: credit badges,
// shop logos, item pictures and the shop button, drawn on request and encoded as PNG. Pure
// functions of their names, safe from any thread.
#pragma once

#include <string>

namespace vendrix::sandbox {

// The PNG of the badge picture `name` ("b_red_1.gif"...); empty when there is no such badge.
std::string BadgePicture(const std::string& name);
// A 100 x 100 shop logo, its look derived from `path`.
std::string LogoPicture(const std::string& path);
// A `size` x `size` item picture, its look derived from `path`.
std::string ItemPicture(const std::string& path, int size);
// The "enter the shop" button under the shop block.
std::string ShopButtonPicture();

}  // namespace vendrix::sandbox
