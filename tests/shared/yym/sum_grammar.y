/* The parser engine's test grammar: lines of sums such as "1 + (2 - 3);".
   A line that goes wrong is skipped up to its ";" through the error rule.
   The engine's tests supply the action function; the code blocks below say
   what it does for each action. */

%token IDENT 257
%token NUMBER 258

%destructor { dropped($$); } NUMBER
%destructor { dropped($$); } sum term

%%

input : { begin(); } lines
      ;

lines : %empty
      | lines line
      ;

line : sum ';' { line_done($1); }
     | error ';' { line_skipped(); }
     ;

sum : sum '+' term { $$ = $1 + $3; }
    | sum '-' term { $$ = $1 - $3; }
    | term
    ;

term : NUMBER
     | '(' sum ')' { $$ = $2; }
     ;
