#include <gtest/gtest.h>

#include "app/SaveCommand.h"

using lumivane::WithFilterExtension;

TEST(WithFilterExtension, OnlyANameWithoutExtensionGetsTheFiltersFirst) {
    EXPECT_EQ(WithFilterExtension("/tmp/bild", "JPEG-Bild (*.jpg *.jif *.jpeg)"), "/tmp/bild.jpg");
    EXPECT_EQ(WithFilterExtension("/tmp/bild", "PNG-Bild (*.png)"), "/tmp/bild.png");
    EXPECT_EQ(WithFilterExtension("/tmp/bild.tif", "PNG-Bild (*.png)"), "/tmp/bild.tif");
    EXPECT_EQ(WithFilterExtension("/tmp/ordner.neu/bild", "PNG-Bild (*.png)"),
              "/tmp/ordner.neu/bild.png");
    EXPECT_EQ(WithFilterExtension("/tmp/bild", "Alle Dateien (*)"), "/tmp/bild");
    EXPECT_EQ(WithFilterExtension("/tmp/bild", ""), "/tmp/bild");
}
