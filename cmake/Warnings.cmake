# Compiler warnings for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                    -Wcast-align -Wunused -Woverloaded-virtual
                    -Wformat=2 -Wimplicit-fallthrough)
if(VEYRITH_WERROR)
  add_compile_options(-Werror)
endif()
