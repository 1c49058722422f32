#!/usr/bin/perl
# decode_mimetools.pl MESSAGE - decode one delivered message with Perl's MIME-tools (a second
# reader beside Python's email package) and print what a reader sees as JSON: subject, the
# addresses of From and To with their display names, the text body, and the attachment's name
# and SHA-256. Headers are parsed as written (Mail::Address) before their encoded-words are
# decoded, so a name that would read as two addresses or a comment shows as such.
use strict;
use warnings;
use Digest::SHA qw(sha256_hex);
use Encode qw(decode);
use JSON::PP;
use MIME::Parser;
use MIME::Words qw(decode_mimewords);
use Mail::Address;

sub words {
    my ($text) = @_;
    return join '', map { defined $_->[1] ? decode($_->[1], $_->[0]) : $_->[0] }
        decode_mimewords($text);
}

my $parser = MIME::Parser->new;
$parser->output_to_core(1);
$parser->decode_headers(0);
my $entity = $parser->parse_open($ARGV[0]) or die "cannot parse $ARGV[0]\n";
my $head = $entity->head;
$head->unfold;

my %seen = (subject => words(scalar $head->get('Subject') // ''));
chomp $seen{subject};
for my $field (qw(From To)) {
    my @addresses;
    for my $address (Mail::Address->parse(scalar $head->get($field) // '')) {
        my $phrase = $address->phrase // '';
        $phrase =~ s/^"(.*)"$/$1/s and $phrase =~ s/\\(.)/$1/g;
        push @addresses, [words($phrase), $address->address];
    }
    $seen{lc $field} = \@addresses;
}

sub text_of {
    my ($part) = @_;
    my $charset = $part->head->mime_attr('content-type.charset') // 'us-ascii';
    return decode($charset, $part->bodyhandle->as_string);
}

if ($entity->is_multipart) {
    my @parts = $entity->parts;
    $seen{parts} = scalar @parts;
    $seen{body} = text_of($parts[0]) if @parts;
    if (@parts > 1) {
        my $name = $parts[1]->head->recommended_filename // '';
        $name = decode('UTF-8', $name) unless utf8::is_utf8($name);
        $seen{attachment_name} = $name;
        $seen{attachment_sha256} = sha256_hex($parts[1]->bodyhandle->as_string);
    }
} else {
    $seen{parts} = 0;
    $seen{body} = text_of($entity);
}
print JSON::PP->new->utf8->canonical->encode(\%seen), "\n";
