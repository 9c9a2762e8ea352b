# Opening a text page against a bare QTextEdit with the same settings.
add_executable(text_bench bench/text_bench.cpp bench/text_corpus.h)
target_link_libraries(text_bench PRIVATE tavelo_text tavelo_content benchmark::benchmark tavelo_options)
# One Help-page opening, click to painted, for bench/text_page_table.sh.
add_executable(text_page_probe bench/text_page_probe.cpp bench/text_corpus.h)
target_link_libraries(text_page_probe PRIVATE tavelo_core tavelo_options)
