// A search module that loads but has no entry point.
extern "C" int zantor_test_not_a_search() { return 0; }
