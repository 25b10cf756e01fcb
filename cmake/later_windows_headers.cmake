# Included by the folders of test code (the Windows-side tests and the UI driver that works the
# windows): they may use what later Windows offers, while the code they test keeps the headers of
# the oldest systems it runs on. Applies to the targets the including folder creates.
get_property(definitions DIRECTORY PROPERTY COMPILE_DEFINITIONS)
list(TRANSFORM definitions REPLACE "^(_WIN32_WINNT|WINVER)=0x0400$" "\\1=0x0601")
set_property(DIRECTORY PROPERTY COMPILE_DEFINITIONS ${definitions})
